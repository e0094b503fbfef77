// The router link: its configuration text, the status page, which server is the router.
#include "core/status_lines.h"
#include "modem/router_link.h"
#include "modem_dialogue.h"

namespace {

std::string status_page(const char* bearer, const char* name, const char* signal,
                        const std::string& ctime, bool usage = false) {
    std::string c = "<script>Capture(GPRS_MSG.";
    return "<html>" + c + "WWBEAR)</script>: <B>" + c + bearer + "</script></B>\n" + c +
           "NNAME)</script>: <B>" + name + "</B>\n" + c + "STRENGTH)</script>: <B>" + c + signal +
           "</script></B>\n" + c + "CTIME)</script>: <B>" + ctime + "</B>\n" +
           (usage ? c + "SESSIONUSAGE)</script>: <B><span>RX = 12.34 MB</span> <span>TX = 1.05 "
                        "MB</span></B>"
                  : "") +
           "</html>";
}

const std::string hours = " <script>Capture(GPRS_MSG.HOURS)</script> ";

class Router : public ModemTest {
  protected:
    void TearDown() override {
        cm_linkcom(0, const_cast<char*>("NOLINKSYS"));
        ModemTest::TearDown();
    }
};

} // namespace

TEST(RouterPure, ConfigurationTextWithDefaultsAndSeparators) {
    // The text, and address|user|password ("" when no router).
    const std::pair<const char*, const char*> cases[] = {
        {"LINKSYS  10.0.0.1;; ;bob   secret", "10.0.0.1/|bob|secret"},
        {"LINKSYS bob", "192.168.1.1/|bob|qorvu"}, // an address begins with a digit
        {"LINKSYS 10.0.0.1 ;", "10.0.0.1/|admin|qorvu"},
        {"NOLINKSYS", ""},
        {"/dev/ttyUSB0", ""},
    };
    for (auto [text, config] : cases) {
        cm__linkconfig r = cm__linkparseconfig(text);
        EXPECT_EQ(r.mode ? r.address + "|" + r.user + "|" + r.pass : "", config) << text;
    }
}

TEST(RouterPure, StatusPagesAndOnlyTheRoutersOwnCounts) {
    // The page; bearer signal online time upload download, name, unknown signal.
    const std::pair<std::string, const char*> cases[] = {
        {status_page("WWBEAR_UMTS)", "T-Mobile D", "EXCELLENT)", " 2" + hours + " 7", true),
         "2 30 1 128 1050 12340 T-Mobile D|"},
        {status_page("WWBEAR_X)", "O2", "VERY_WEAK_SIGNAL_INDEED)", "<"),
         "0 1 0 0 0 0 O2|VERY_WEAK_SIGNAL_IND"},
        {"Capture(GPRS_MSG.SESSIONUSAGE)>RX =>TX =", "0 0 0 0 0 0 |"},
    };
    for (auto& [page, read] : cases) {
        cm__linkstatus s = cm__linkparsestatus(page.c_str());
        char got[200];
        snprintf(got, sizeof got, "%i %i %i %li %li %li %s|%s", s.bearer, s.signal, s.online,
                 s.time, s.upload, s.download, s.netname, s.unknownsignal);
        EXPECT_STREQ(got, read) << page;
    }

    std::string page = status_page("WWBEAR_UMTS)", "Vodafone.de", "GOOD)", "<");
    EXPECT_TRUE(cm__linkstatuspage(("HTTP/1.0 200 OK\r\n\r\n" + page).c_str()));
    for (const std::string& other : std::vector<std::string>{
             "HTTP/1.1 404 Not Found\r\n\r\n" + page, // a proxy's error page quoting the path
             "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"WRT\"\r\n\r\n",
             "HTTP/1.1 200 OK\r\n\r\n<html><title>FRITZ!Box</title>Anmeldung</html>",
             "HTTP/1.1 302 Found\r\nLocation: http://192.168.1.1/login.htm\r\n\r\n",
             "<html>Capture(GPRS_MSG.NNAME)</html>", "HTTP/1.1 2000 OK\r\n\r\n" + page, ""})
        EXPECT_FALSE(cm__linkstatuspage(other.c_str())) << other;
}

TEST_F(Router, SilentAddressIsNoRouterAndAProgramEndStopsTheWait) {
    std::string text = "LINKSYS 127.0.0.1:1 admin wrong";
    cm_linkcom(0, text.data());
    EXPECT_EQ(cm_linkcom(1, nullptr), 0);
    EXPECT_NE(log().find("Linksys: No answer."), std::string::npos);
    programmende_gewuenscht = true;
    EXPECT_FALSE(cm_linksyswait());
    EXPECT_STREQ(cc_mtext[1], "+Waiting for Linksys router.");
}
