// SMS reception against the simulated modem: set-up, fetching, the records in the working
// directory, SMS commands, deletion; and the pure parts of the command check.
#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "modemsim_process.h"
#include "sms/sms_reception.h"
#include "sms_pdu_builder.h"
#include "sms_test_support.h"
#include "test_support.h"
#include "ui/status_lines.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <utime.h>
#include <vector>

namespace {

std::vector<std::string> listdir(const char* d) {
    std::vector<std::string> names;
    if (DIR* dp = opendir(d)) {
        while (dirent* e = readdir(dp))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(dp);
    }
    return names;
}

class Reception : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('M') = 1;
        MODUS('P') = 1;
        tonlos = true;
        _de = false;
        linksys = false;
        geraet = 0;
        secportmanuell = true;
        comzeit = 100;
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
        ruhestatus = 0;
        sm__forget();
        cm_ini();
    }
    void TearDown() override {
        cm_postini();
        sm__forget();
        programmende_gewuenscht = false;
        unterbrechung_gewuenscht = 0;
        iv_inidefaults();
    }
    // A modem holding the given messages ("stat,PDU"), with the channel open on it.
    std::unique_ptr<ModemSim> modem(const std::vector<std::string>& sms,
                                    std::vector<std::string> settings = {}) {
        for (const auto& m : sms) settings.push_back("sms=" + m);
        return openmodem(settings);
    }
    void command(int i, const char* line, const char* sender = "", const char* key = "") {
        strMcpy(inidat.cmd[i], line);
        inidat.sms[i] = 1;
        strMcpy(inidat.smsnr[i], sender);
        strMcpy(inidat.smskey[i], key);
    }
    InTempDir tmp;
};

Deliver message(const char* text, const char* sender = "491701234567") {
    Deliver d;
    d.from(sender).text7(text);
    return d;
}

} // namespace

TEST_F(Reception, OrdinaryMessageIsRecordedShownAndDeletedAfterwards) {
    auto sim = modem({"0," + message("See you at 8").hex()});
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 1) << "waits for the message thread";
    EXPECT_STREQ(sm__msgnachricht, "+491701234567 2010-12-13 14:15:16 [04]\n\nSee you at 8");

    std::string heard = sim->transcript();
    EXPECT_TRUE(has(heard, "AT+CPMS=\"MT\",\"ME\",\"ME\"")) << heard;
    EXPECT_TRUE(has(heard, "AT+CMGF=0"));
    EXPECT_TRUE(has(heard, "AT+CMGL=0"));
    EXPECT_TRUE(has(heard, "AT+CMGR=1"));
    EXPECT_FALSE(has(heard, "AT+CMGD"));

    std::vector<std::string> files = listdir("sms_in");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("sms_", 0), 0u);
    EXPECT_TRUE(has(files[0], "__491701234567.txt")) << files[0];
    EXPECT_EQ(read_file("sms_in/" + files[0]), "See you at 8");
    EXPECT_TRUE(has(read_file("sms.txt"), " SMS: +491701234567 2010-12-13 14:15:16 [04]"));

    // Nothing more happens until the message was seen.
    sm_msgholen();
    EXPECT_EQ(count(sim->transcript(), "AT+CMGR"), 1u);

    sm_msgzustand = 2;
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 0);
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=1"));
    EXPECT_EQ(count(sim->transcript(), "AT+CPMS=\"MT\""), 1u) << "the set-up runs once";
}

TEST_F(Reception, ReadMessagesAreFetchedWhenNoneIsUnreadAndBusyStorageIsRetried) {
    auto sim = modem({"1," + message("old one").hex()}, {"cpms_busy=2"});
    sm_msgholen();
    std::string heard = sim->transcript();
    EXPECT_EQ(count(heard, "AT+CPMS=\"MT\",\"ME\",\"ME\""), 3u) << heard;
    EXPECT_TRUE(has(heard, "AT+CMGL=1"));
    EXPECT_TRUE(has(sm__msgnachricht, "\n\nold one"));
    EXPECT_EQ(sm_msgzustand, 1);
}

TEST_F(Reception, EmptyStorageAndShortPdusChangeNothing) {
    auto sim = modem({});
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 0);
    EXPECT_FALSE(has(sim->transcript(), "AT+CMGR"));

    auto shortone = modem({"0,0791947101670000040C91"});
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 0);
    EXPECT_FALSE(exists("sms.txt"));
}

TEST_F(Reception, MatchingCommandsRunWithTheirArguments) {
    command(0, "mavlyn_RECONNECT");
    command(1, "echo %1 %0 :%2: :%3: 100%% > out.txt", "+491701234567", "note");
    command(2, "mavlyn_DISCONNECT", "+4930111111");
    inidat.constart = true;
    auto sim = modem({"0," + message("Note: x-1;(id)&'y'").hex()});
    sm_msgholen();

    EXPECT_EQ(sm_msgzustand, 2) << "handled, not shown";
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    EXPECT_TRUE(inidat.constart) << "the third command has another permitted sender";
    EXPECT_STREQ(cc_mtext[1], "+SMS command received.");

    std::string conn = read_file("connlog.txt");
    EXPECT_TRUE(has(conn, "Reconnect caused by SMS.")) << conn;
    const char* expanded = "+491701234567 491701234567 :: x-1__id___y_: :_ x_1__id___y_: 100%";
    EXPECT_TRUE(has(conn, std::string("Command by SMS: echo ") + expanded + " > out.txt")) << conn;
    // The program ran through the shell, and the message text did not reach it as syntax.
    ASSERT_TRUE(waitline("out.txt"));
    EXPECT_EQ(read_file("out.txt"), std::string(expanded) + "\n");
    EXPECT_FALSE(has(conn, "deactivated"));
    std::string smslog = read_file("sms.txt");
    EXPECT_EQ(count(smslog, " Command: "), 2u) << smslog;

    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 0);
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=1"));
}

TEST_F(Reception, EndBySmsWaitsForTheDeletion) {
    command(0, "mavlyn_END");
    auto sim = modem({"0," + message("stop").hex()});
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 2);
    EXPECT_FALSE(programmende_gewuenscht);
    EXPECT_TRUE(has(read_file("connlog.txt"), "Program terminated by SMS."));
    sm_msgholen();
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=1"));
    EXPECT_TRUE(programmende_gewuenscht);
}

TEST_F(Reception, MessageFromAnotherSenderIsOnlyRecorded) {
    command(0, "mavlyn_CONNECT", "+4930111111");
    inidat.constart = false;
    auto sim = modem({"0," + message("connect please").hex()});
    sm_msgholen();
    EXPECT_FALSE(inidat.constart);
    EXPECT_EQ(sm_msgzustand, 2) << "with SMS commands configured nobody is asked";
    EXPECT_STREQ(cc_mtext[1], "+SMS received.");
    EXPECT_FALSE(has(read_file("sms.txt"), "Command:"));
}

TEST_F(Reception, UnreadableMessageIsRecordedAsSuchAndLeavesTheModem) {
    Deliver broken = longpart("491701234567", 1, 2, 1, "lost", false);
    broken.ud[0] = 60;
    command(0, "mavlyn_CONNECT");
    inidat.constart = false;
    auto sim = modem({"0," + broken.hex()});
    sm_msgholen();
    EXPECT_STREQ(sm__msgnachricht,
                 "+491701234567 2010-12-13 14:15:16 [04]\n\n(unreadable message)");
    EXPECT_TRUE(has(read_file("sms.txt"), "(unreadable message)"));
    EXPECT_FALSE(inidat.constart) << "no command from a message that could not be read";
    EXPECT_EQ(sm_msgzustand, 2);
    sm_msgholen();
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=1"));
}

namespace {

// Runs the reception until a message waits for the user (or nothing moves any more).
void untilshown(int calls = 40) {
    for (int i = 0; i < calls && sm_msgzustand != 1 && sm_msgzustand != 9; i++) sm_msgholen();
}

std::string body(char c, int part) {
    return std::string(1, c) + std::to_string(part) + std::string(151, c);
}

} // namespace

TEST_F(Reception, LongMessageArrivesAsOneOutOfOrderAndWithADuplicate) {
    const int total = 7;
    std::vector<std::string> stored;
    std::string whole;
    for (int part = 1; part <= total; part++) whole += body(static_cast<char>('a' + part), part);
    auto hexpart = [&](int part) {
        return "0," + longpart("491701234567", 0x4242, total, part,
                               body(static_cast<char>('a' + part), part), true)
                          .hex();
    };
    stored.push_back(hexpart(7));
    stored.push_back(hexpart(1));
    stored.push_back(hexpart(1));
    for (int part = 2; part <= 6; part++) stored.push_back(hexpart(part));
    auto sim = modem(stored);

    untilshown();
    ASSERT_EQ(sm_msgzustand, 1);
    EXPECT_EQ(count(read_file("sms.txt"), " SMS: "), 1u) << "the parts are not logged alone";
    std::vector<std::string> files = listdir("sms_in");
    ASSERT_EQ(files.size(), 2u) << "the message and the parts folder";
    std::string name = files[0] == "parts" ? files[1] : files[0];
    EXPECT_EQ(read_file("sms_in/" + name), whole);
    EXPECT_TRUE(has(read_file("sms.txt"), whole));
    EXPECT_TRUE(has(sm__msgnachricht, "+491701234567 2010-12-13 14:15:16 [04]\n\nb1bbb"));
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD="), 7u);
    EXPECT_EQ(listdir("sms_in/parts").size(), 7u) << "kept until the last part left the modem";

    sm_msgzustand = 2;
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 0);
    EXPECT_TRUE(listdir("sms_in/parts").empty());
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD="), 8u);
}

TEST_F(Reception, PartsWaitAcrossARestart) {
    {
        auto first = modem({"0," + longpart("491701234567", 9, 2, 1, "first ", false).hex()});
        sm_msgholen();
        EXPECT_EQ(sm_msgzustand, 2);
        sm_msgholen();
        EXPECT_EQ(sm_msgzustand, 0);
        EXPECT_EQ(listdir("sms_in/parts").size(), 1u);
        cm_postini();
    }
    sm__forget();
    cm_ini();
    auto second = modem({"0," + longpart("491701234567", 9, 2, 2, "second", false).hex()});
    untilshown();
    EXPECT_TRUE(has(sm__msgnachricht, "\n\nfirst second")) << sm__msgnachricht;
}

TEST_F(Reception, PartsWithoutTheirSiblingsAreShownAloneAfterADay) {
    auto sim = modem({"0," + longpart("491701234567", 3, 3, 3, "part three", false).hex(),
                      "0," + longpart("491701234567", 3, 3, 1, "part one", false).hex()});
    for (int i = 0; i < 4; i++) sm_msgholen();
    ASSERT_EQ(listdir("sms_in/parts").size(), 2u);
    EXPECT_FALSE(exists("sms.txt"));

    time_t old = time(nullptr) - 25 * 3600;
    struct utimbuf times = {old, old};
    for (const std::string& f : listdir("sms_in/parts"))
        ASSERT_EQ(utime(("sms_in/parts/" + f).c_str(), &times), 0);
    sm_msgholen();
    EXPECT_TRUE(has(sm__msgnachricht, "\n\n<Long> part one")) << sm__msgnachricht;
    sm_msgzustand = 2;
    sm_msgholen();
    EXPECT_EQ(listdir("sms_in/parts").size(), 1u);
    sm_msgholen();
    EXPECT_TRUE(has(sm__msgnachricht, "\n\n<Long> part three")) << sm__msgnachricht;
    EXPECT_EQ(count(read_file("sms.txt"), "<Long> part"), 2u);
}

TEST_F(Reception, SetsOfMoreThanSixteenPartsAreNotCollected) {
    auto sim = modem({"0," + longpart("491701234567", 1, 20, 4, "four", false).hex()});
    sm_msgholen();
    EXPECT_TRUE(has(sm__msgnachricht, "\n\n<Long> four"));
    EXPECT_TRUE(listdir("sms_in/parts").empty());
}

TEST_F(Reception, FailedDeletionStopsReception) {
    auto sim = modem({"0," + message("x").hex()});
    sm_msgholen();
    sim->control("set sim=pin");
    msleep(300);
    sm_msgzustand = 2;
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 9);
    sm_msgholen();
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD"), 1u);
}

TEST_F(Reception, NothingBehindARouterOrWithoutTheOption) {
    auto sim = modem({"0," + message("x").hex()});
    linksys = true;
    sm_msgholen();
    linksys = false;
    MODUS('M') = 0;
    sm_msgholen();
    EXPECT_EQ(sim->transcript().find("CMG"), std::string::npos);
}

TEST(ReceptionParts, ModemAnswers) {
    EXPECT_EQ(sm__listindex("\r\n+CMGL: 3,0,,24\r\n0791...\r\n\r\nOK\r\n"), 3);
    EXPECT_EQ(sm__listindex("\r\n+CMGL:   12,1,,24\r\n"), 12);
    EXPECT_EQ(sm__listindex("\r\nOK\r\n"), -1);
    EXPECT_EQ(sm__listindex("\r\n+CMS ERROR: 302\r\n"), -1);
    // An "ERROR" far into the answer belongs to a message text, not to the command.
    std::string late = "\r\n+CMGL: 4,0,,24\r\n" + std::string(40, 'A') + "ERROR\r\n";
    EXPECT_EQ(sm__listindex(late.c_str()), 4);

    char pdu[100];
    EXPECT_TRUE(sm__readpdu("\r\n+CMGR: 0,,24\r\n07914321\r\n\r\nOK\r\n", pdu, sizeof pdu));
    EXPECT_STREQ(pdu, "07914321");
    EXPECT_FALSE(sm__readpdu("\r\n+CMS ERROR: 321\r\n", pdu, sizeof pdu));
    EXPECT_FALSE(sm__readpdu("\r\n+CMGR: 0,,24\r\n", pdu, sizeof pdu));
    std::string big = "\r\n+CMGR: 0,,24\r\n" + std::string(800, '0') + "\r\n";
    EXPECT_FALSE(sm__readpdu(big.c_str(), pdu, sizeof pdu));
}

TEST(ReceptionParts, ExpansionKeepsTheShellOut) {
    char out[200];
    sm__expand("run %0 %1 %2 %3 %4 %% %", "+4917", "a b.c-d'$(x)`y`;|&<>\n", out, sizeof out);
    EXPECT_STREQ(out, "run 4917 +4917 a b.c-d___x__y_______ a b.c_d___x__y_______ %4 % %");
    // A sender without "+" has no "%0"; a call has no argument.
    sm__expand("%0|%1|%2", "0171", nullptr, out, sizeof out);
    EXPECT_STREQ(out, "%0|0171|%2");
}

TEST(ReceptionParts, PermittedSenderAndKeyword) {
    iv_inidefaults();
    char arg[100];
    strMcpy(inidat.smsnr[0], "+491701234567");
    strMcpy(inidat.smskey[0], "CODE");
    EXPECT_TRUE(sm__commandmatches(0, "+491701234567", "my code 42", arg, sizeof arg));
    EXPECT_STREQ(arg, " 42") << "the argument as received, behind the keyword";
    EXPECT_FALSE(sm__commandmatches(0, "491701234567", "my code 42", arg, sizeof arg))
        << "the comparison is exact, '+' included";
    EXPECT_FALSE(sm__commandmatches(0, "+491701234567", "no keyword", arg, sizeof arg));
    inidat.smsnr[0][0] = 0;
    inidat.smskey[0][0] = 0;
    EXPECT_TRUE(sm__commandmatches(0, "anyone", "whole body", arg, sizeof arg));
    EXPECT_STREQ(arg, "whole body");
    iv_inidefaults();
}
