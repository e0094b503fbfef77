// The operating mode against the simulated modem (each maker's dialect: the day scenarios).
#include "core/status_lines.h"
#include "modem/operating_mode.h"
#include "modem_dialogue.h"

namespace {

class Mode : public ModemTest {
  protected:
    std::unique_ptr<ModemSim> modem(const char* profile, int device) {
        restore();
        auto sim = std::make_unique<ModemSim>(std::vector<std::string>{"--profile", profile});
        EXPECT_TRUE(sim->ready() && cm_open(sim->port(0).c_str(), 3)) << profile;
        geraet = device;
        comzeit = 50;
        strMcpy(cc_mtext[1], " ");
        return sim;
    }
    static bool logged(const std::string& line) {
        return read_file("connlog.txt").find(line) != std::string::npos;
    }
};

} // namespace

TEST_F(Mode, HuaweiServiceDomainFollowsSmsAndCalls) {
    auto sim = modem("huawei", 3);
    EXPECT_TRUE(de_iniopmode(9, 2)) << "CONN sends nothing";
    EXPECT_FALSE(de_iniopmode(5, 2));
    MODUS('M') = 1;
    EXPECT_TRUE(de_iniopmode(1, 1));
    EXPECT_STREQ(cc_mtext[1], "+Operating mode: GPRS.");
    EXPECT_TRUE(logged(" Selected operating mode: GPRS.\n"));
    MODUS('M') = 0;
    EXPECT_TRUE(de_iniopmode(4, 2));
    EXPECT_EQ(
        commands(sim->transcript()),
        (std::vector<std::string>{"AT^SYSCFG=13,1,3FFFFFFF,1,2", "AT^SYSCFG=2,2,3FFFFFFF,1,1"}));
}

TEST_F(Mode, RefusedCommandIsReportedWithProtTwoOnly) {
    auto sim = modem("samsung", 7); // a Samsung takes no AT_OPSYS
    EXPECT_FALSE(de_iniopmode(2, 1));
    EXPECT_FALSE(logged("Operations mode selection failed."));
    EXPECT_FALSE(de_iniopmode(2, 2));
    EXPECT_STREQ(cc_mtext[1], "+Operations mode selection failed.");
    EXPECT_TRUE(logged(" Operations mode selection failed.\n"));
    auto generic = modem("generic", 3); // set by hand as a Huawei: it knows no SYSCFG
    EXPECT_FALSE(de_iniopmode(2, 0));
    EXPECT_EQ(count_command(generic->transcript(), "AT^SYSCFG=14,2,3FFFFFFF,1,1"), 2);
}

TEST_F(Mode, CellDataOncePerStart) {
    auto option = modem("option", 1);
    strMcpy(plmn, "26202");
    de_cellidqueryini();
    de_cellidqueryini();
    EXPECT_EQ(commands(option->transcript()),
              (std::vector<std::string>{"AT+CGREG=2", "AT+CGREG=0"}));
    EXPECT_STREQ(ucid, "");
    EXPECT_STREQ(plmn, "");

    restore();
    PtyPeer refusing(answers({{0, "\r\nERROR\r\n"}}));
    ASSERT_TRUE(cm_open(refusing.path(), 3));
    de_cellidqueryini();
    EXPECT_EQ(ucid[0], 1) << "not supported";

    inicounterglobal++;
    linksys = true;
    de_cellidqueryini();
    EXPECT_EQ(plmn[0], 1) << "the router reports no cells";
    lac[0] = ucid[0] = plmn[0] = 0;
}
