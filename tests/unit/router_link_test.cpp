// The router link: its configuration text, the status page, and a whole session against a
// router of the test's own on loopback.
#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "loopback_server.h"
#include "modem/router_link.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <gtest/gtest.h>
#include <mutex>
#include <string>

namespace {

std::string status_page(const char* bearer, const char* name, const char* signal, const char* ctime,
                        const char* usage) {
    std::string p = "<html><script>Capture(GPRS_MSG.WWBEAR)</script>: <B><script>Capture(GPRS_MSG.";
    p += bearer;
    p += "</script></B>\n<script>Capture(GPRS_MSG.NNAME)</script>: <B>";
    p += name;
    p += "</B>\n<script>Capture(GPRS_MSG.STRENGTH)</script>: <B><script>Capture(GPRS_MSG.";
    p += signal;
    p += "</script></B>\n<script>Capture(GPRS_MSG.CTIME)</script>: <B>";
    p += ctime;
    p += "</B>\n";
    p += usage;
    return p + "</html>";
}

const char usage[] = "<script>Capture(GPRS_MSG.SESSIONUSAGE)</script>: <B>"
                     "<span>RX = 12.34 MB</span> <span>TX = 1.05 MB</span></B>";

// A WWAN router: basic authentication admin:qorvu, connected after a connect request.
class FakeRouter {
  public:
    FakeRouter() : server_([this](int c, const std::string& req) { serve(c, req); }) {}
    std::string address() const { return "127.0.0.1:" + std::to_string(server_.port()); }
    std::vector<std::string> requests() { return server_.requests(); }

  private:
    void serve(int c, const std::string& req) {
        if (req.find("Authorization: Basic YWRtaW46cW9ydnU=\r\n") == std::string::npos) {
            say(c, "HTTP/1.1 401 Unauthorized\r\n\r\n");
            return;
        }
        std::lock_guard<std::mutex> l(m_);
        if (req.find("submit_type=Connect_wwan") != std::string::npos) connected_ = true;
        if (req.find("submit_type=Disconnect_wwan") != std::string::npos) connected_ = false;
        if (req.rfind("GET /Status_Wwan.asp ", 0) == 0)
            say(c, "HTTP/1.1 200 OK\r\n\r\n" +
                       (connected_
                            ? status_page("WWBEAR_UMTS)", "Vodafone.de", "GOOD)",
                                          " 1 <script>Capture(GPRS_MSG.HOURS)</script> 25", usage)
                            : status_page("WWBEAR_GPRS)", "Vodafone.de", "FAIR)", "<", "")));
        else
            say(c, "HTTP/1.1 200 OK\r\n\r\n<html>index</html>");
    }
    std::mutex m_;
    bool connected_ = false;
    LoopbackServer server_;
};

class Router : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('P') = 1;
        programmende_gewuenscht = false;
        _de = false;
    }
    void TearDown() override {
        cm_linkcom(0, const_cast<char*>("NOLINKSYS"));
        programmende_gewuenscht = false;
    }
    InTempDir tmp;
};

} // namespace

TEST(RouterPure, ConfigurationTextWithDefaultsAndSeparators) {
    cm__linkconfig c = cm__linkparseconfig("LINKSYS");
    EXPECT_TRUE(c.mode);
    EXPECT_EQ(c.address, "192.168.1.1/");
    EXPECT_EQ(c.user, "admin");
    EXPECT_EQ(c.pass, "qorvu");

    c = cm__linkparseconfig("LINKSYS  10.0.0.1;; ;bob   secret");
    EXPECT_EQ(c.address, "10.0.0.1/");
    EXPECT_EQ(c.user, "bob");
    EXPECT_EQ(c.pass, "secret");

    c = cm__linkparseconfig("LINKSYS bob");
    EXPECT_EQ(c.address, "192.168.1.1/") << "an address must begin with a digit";
    EXPECT_EQ(c.user, "bob");
    EXPECT_EQ(c.pass, "qorvu");

    c = cm__linkparseconfig("LINKSYS 10.0.0.1 ;");
    EXPECT_EQ(c.user, "admin") << "the text ends before the user";

    EXPECT_FALSE(cm__linkparseconfig("NOLINKSYS").mode);
    EXPECT_FALSE(cm__linkparseconfig("/dev/ttyUSB0").mode);
    EXPECT_FALSE(cm__linkparseconfig(nullptr).mode);
}

TEST(RouterPure, StatusPageSections) {
    cm__linkstatus s =
        cm__linkparsestatus(status_page("WWBEAR_UMTS)", "T-Mobile D", "EXCELLENT)",
                                        " 2 <script>Capture(GPRS_MSG.HOURS)</script>  7", usage)
                                .c_str());
    EXPECT_EQ(s.bearer, 2);
    EXPECT_STREQ(s.netname, "T-Mobile D");
    EXPECT_EQ(s.signal, 30);
    EXPECT_TRUE(s.online);
    EXPECT_EQ(s.time, 2 * 60 + 7 + 1);
    EXPECT_EQ(s.download, 12340);
    EXPECT_EQ(s.upload, 1050);

    s = cm__linkparsestatus(status_page("WWBEAR_GPRS)", "E-Plus", "ACQUIRING)", "<", "").c_str());
    EXPECT_EQ(s.bearer, 1);
    EXPECT_EQ(s.signal, 0);
    EXPECT_FALSE(s.online);
    EXPECT_EQ(s.upload + s.download, 0) << "no usage section, no traffic";

    s = cm__linkparsestatus(
        status_page("WWBEAR_X)", "O2", "VERY_WEAK_SIGNAL_INDEED)", "<", "").c_str());
    EXPECT_EQ(s.bearer, 0);
    EXPECT_EQ(s.signal, 1);
    EXPECT_STREQ(s.unknownsignal, "VERY_WEAK_SIGNAL_IND") << "the first 20 characters";
}

TEST(RouterPure, CutHugeAndMalformedPages) {
    std::string full =
        status_page("WWBEAR_UMTS)", std::string(300, 'N').c_str(), "GOOD)",
                    " 99999999999999999999 <script>Capture(GPRS_MSG.HOURS)</script> 5", usage);
    cm__linkstatus s = cm__linkparsestatus(full.c_str());
    EXPECT_EQ(strlen(s.netname), 39u);
    EXPECT_GT(s.time, 0);
    for (size_t cut = 0; cut < full.size(); cut += 7) {
        std::string part = full.substr(0, cut);
        s = cm__linkparsestatus(part.c_str());
        ASSERT_LE(strlen(s.netname), 39u);
    }
    s = cm__linkparsestatus("Capture(GPRS_MSG.SESSIONUSAGE)>RX =>TX =");
    EXPECT_EQ(s.download, 0);
    s = cm__linkparsestatus("");
    EXPECT_EQ(s.signal, 0);
}

TEST_F(Router, WholeSessionThroughTheRouter) {
    FakeRouter router;
    std::string text = "LINKSYS " + router.address();
    EXPECT_EQ(cm_linkcom(0, text.data()), 1);
    EXPECT_TRUE(cm_linksyswait());
    EXPECT_EQ(cm_linkcom(9, nullptr), 0);
    EXPECT_EQ(cm_linkcom(2, nullptr), 1);
    EXPECT_EQ(cm_linkcom(3, nullptr), 8);

    EXPECT_EQ(cm_linkcom(21, nullptr), 1);
    EXPECT_EQ(cm_linkcom(9, nullptr), 1);
    EXPECT_EQ(cm_linkcom(1, nullptr), 1);
    EXPECT_EQ(cm_linkcom(2, nullptr), 2);
    EXPECT_EQ(cm_linkcom(3, nullptr), 15);
    EXPECT_EQ(cm_linkcom(4, nullptr), 60 + 25 + 1);
    EXPECT_EQ(cm_linkcom(5, nullptr), 1050);
    EXPECT_EQ(cm_linkcom(6, nullptr), 12340);
    char name[40];
    EXPECT_EQ(cm_linkcom(8, name), 1);
    EXPECT_STREQ(name, "Vodafone.de");
    EXPECT_EQ(cm_linkcom(8, nullptr), 0);

    EXPECT_EQ(cm_linkcom(22, nullptr), 1);
    EXPECT_EQ(cm_linkcom(9, nullptr), 0);
    EXPECT_EQ(cm_linkcom(1, nullptr), 1);
    EXPECT_EQ(cm_linkcom(5, nullptr), 0);
    EXPECT_EQ(cm_linkcom(51, nullptr), 1);
    EXPECT_EQ(cm_linkcom(7, nullptr), 0);

    std::vector<std::string> r = router.requests();
    auto asked = [&](const std::string& what) {
        for (auto& q : r)
            if (q.find(what) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(asked(
        "GET /apply.cgi?submit_button=index&change_action=gozila_cgi&submit_type=Connect_wwan "
        "HTTP/1.1"));
    EXPECT_TRUE(asked(
        "GET /apply.cgi?submit_button=index&change_action=gozila_cgi&submit_type=Disconnect_wwan "
        "HTTP/1.1"));
    EXPECT_TRUE(asked("GET /index.asp HTTP/1.1"));

    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("Linksys linkcom 21."), std::string::npos);
    EXPECT_NE(log.find("Linksys: ba=2 sig=15 tim=86 vup=1050 vdo=12340 online=1"),
              std::string::npos);
    EXPECT_EQ(log.find("qorvu"), std::string::npos) << "the password stays out of the log";
}

TEST_F(Router, ServiceChoiceIsSentWithoutWaitingForTheAnswer) {
    FakeRouter router;
    std::string text = "LINKSYS " + router.address();
    cm_linkcom(0, text.data());
    for (int f : {10, 11, 12}) EXPECT_EQ(cm_linkcom(f, nullptr), 1);
    msleep(200);
    std::string all;
    for (auto& q : router.requests()) all += q;
    EXPECT_NE(all.find("wwan_service=umts_first"), std::string::npos);
    EXPECT_NE(all.find("wwan_service=gprs_only"), std::string::npos);
    EXPECT_NE(all.find("wwan_service=umts_only"), std::string::npos);
}

TEST_F(Router, NoRouterAnswersAndAProgramEndStopsTheWait) {
    std::string text = "LINKSYS 127.0.0.1:1 admin wrong";
    cm_linkcom(0, text.data());
    EXPECT_EQ(cm_linkcom(1, nullptr), 0);
    EXPECT_NE(read_file("servilog.txt").find("Linksys: No answer."), std::string::npos);
    programmende_gewuenscht = true;
    EXPECT_FALSE(cm_linksyswait());
    EXPECT_STREQ(cc_mtext[1], "+Waiting for Linksys router.");
}
