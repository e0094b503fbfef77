// SMS reception against the simulated modem, and the pure parts of the command check.
#include "foundation/utilities.h"
#include "sms_pdu_builder.h"
#include "sms_test_support.h"

#include <utime.h>

namespace {

class Reception : public SmsTest {
  protected:
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
    // The user has seen the message: it is deleted next.
    void seen() {
        sm_msgzustand = 2;
        sm_msgholen();
    }
};

std::string stored(const char* text, const char* sender = "491701234567", int stat = 0) {
    Deliver d;
    d.from(sender).text7(text);
    return std::to_string(stat) + "," + d.hex();
}

std::string storedpart(int stat, unsigned ref, int total, int part, const std::string& text) {
    return std::to_string(stat) + "," +
           longpart("491701234567", ref, total, part, text, false).hex();
}

// Runs the reception until a message waits for the user (or nothing moves any more).
void untilshown() {
    for (int i = 0; i < 40 && sm_msgzustand != 1 && sm_msgzustand != 9; i++) sm_msgholen();
}

} // namespace

TEST_F(Reception, OrdinaryMessageIsShownAndDeletedAfterwards) {
    // Read messages, behind storage that is busy at first.
    auto sim =
        modem({stored("See you at 8", "491701234567", 1), stored("x", "4917", 1)}, {"cpms_busy=2"});
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 1) << "waits for the message thread";
    EXPECT_TRUE(has(sm__msgnachricht, "\n\nSee you at 8"));
    EXPECT_EQ(count(sim->transcript(), "AT+CPMS=\"MT\",\"ME\",\"ME\""), 3u) << "tried again";

    sm_msgholen();
    EXPECT_FALSE(has(sim->transcript(), "AT+CMGD")) << "nothing until the message was seen";
    seen();
    EXPECT_EQ(sm_msgzustand, 0);
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=1"));

    // A failed deletion stops reception.
    sm_msgholen();
    sim->control("set sim=pin");
    msleep(300);
    seen();
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 9);
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD"), 2u);
    EXPECT_EQ(count(sim->transcript(), "AT+CPMS=\"MT\""), 3u) << "the set-up runs once";
}

TEST_F(Reception, UnreadableMessagesAreRecordedOnceAndDoNotHoldUpTheOthers) {
    command(0, "echo %2 >> ran.txt");
    Deliver broken = longpart("491701234567", 1, 2, 1, "lost", false);
    broken.ud[0] = 60; // a header longer than the user data
    const std::string huge = "0791947101670000" + std::string(860, 'A'); // not given by CMGR
    auto sim = modem({"0," + broken.hex(), "0," + huge, stored("behind")});
    for (int i = 0; i < 30 && count(sim->transcript(), "AT+CMGD=") < 3; i++) sm_msgholen();

    std::string log = read_file("sms.txt");
    EXPECT_EQ(count(log, "(unreadable message)"), 2u) << log;
    EXPECT_TRUE(has(log, "+491701234567 2010-12-13 14:15:16 [04]\n\n(unreadable message)\n" +
                             broken.hex() + "\n"));
    EXPECT_TRUE(has(log, "\n\nbehind"));
    EXPECT_EQ(count(sim->transcript(), "AT+CMGR=2"), 5u) << "asked a few times before giving up";
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD="), 3u);
    ASSERT_TRUE(waitline("ran.txt"));
    EXPECT_EQ(read_file("ran.txt"), "behind\n") << "no command from an unreadable message";
}

TEST_F(Reception, CommandsRunForTheirSendersAndKeywordsOnly) {
    command(0, "mavlyn_RECONNECT", "+491701234567", "again");
    command(1, "echo %1 %0 :%2: :%3: 100%% > out.txt", "+491701234567", "note");
    command(2, "mavlyn_END", "+491701234567", "stop");
    auto sim = modem({stored("again please", "4930222222"), stored("Note: x-1;(id)&'y'"),
                      stored("again"), stored("stop")});
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 2) << "with SMS commands configured nobody is asked";
    EXPECT_STREQ(cc_mtext[1], "+SMS received.");
    EXPECT_EQ(unterbrechung_gewuenscht, 0) << "not from another sender";
    for (int i = 0; i < 4; i++) sm_msgholen();
    EXPECT_STREQ(cc_mtext[1], "+SMS command received.");
    EXPECT_EQ(unterbrechung_gewuenscht, 2);
    for (int i = 0; i < 2; i++) sm_msgholen();
    EXPECT_FALSE(programmende_gewuenscht) << "the end waits for the deletion";
    sm_msgholen();
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=4"));
    EXPECT_TRUE(programmende_gewuenscht);

    std::string conn = read_file("connlog.txt");
    for (const char* line : {"Reconnect caused by SMS.", "Program terminated by SMS.",
                             "Command by SMS: echo +491701234567 491701234567 :': "
                             "x-1__id___y_': :'_ x_1__id___y_': 100% > out.txt"})
        EXPECT_TRUE(has(conn, line)) << conn;
    // The program ran through the shell, and the message text did not reach it as syntax.
    ASSERT_TRUE(waitline("out.txt"));
    EXPECT_EQ(read_file("out.txt"),
              "+491701234567 491701234567 :: x-1__id___y_: :_ x_1__id___y_: 100%\n");
}

TEST_F(Reception, AStopBetweenHandlingAndDeletionHandlesALongMessageOnce) {
    command(0, "echo %2 >> ran.txt");
    // Read ones, so that they come in the order of their indexes.
    auto sim = modem({storedpart(1, 5, 2, 2, "B"), storedpart(1, 5, 2, 1, "A")});
    for (int i = 0; i < 3; i++) sm_msgholen(); // kept, deleted; then the whole is handled
    ASSERT_EQ(sm_msgzustand, 2);
    EXPECT_FALSE(has(sim->transcript(), "AT+CMGD=2"));
    restart();
    ASSERT_TRUE(cm_open(sim->port(0).c_str(), 0));
    sm_msgholen();
    EXPECT_EQ(sm_msgzustand, 2) << "found again, only to be deleted";
    sm_msgholen();
    EXPECT_TRUE(has(sim->transcript(), "AT+CMGD=2"));
    ASSERT_TRUE(waitline("ran.txt"));
    EXPECT_EQ(read_file("ran.txt"), "AB\n");
    EXPECT_EQ(count(read_file("sms.txt"), " SMS: "), 1u);
    EXPECT_TRUE(folder_names("sms_in/parts").empty());
    EXPECT_FALSE(exists("sms_handled.txt"));
}

TEST_F(Reception, LongMessageArrivesAsOneOutOfOrderAndWithADuplicate) {
    auto body = [](int part) { return std::string(152, static_cast<char>('a' + part)); };
    std::vector<std::string> parts;
    for (int part : {7, 1, 1, 2, 3, 4, 5, 6})
        parts.push_back("0," + longpart("491701234567", 0x4242, 7, part, body(part), true).hex());
    auto sim = modem(parts);
    untilshown();
    ASSERT_EQ(sm_msgzustand, 1);
    std::string whole;
    for (int part = 1; part <= 7; part++) whole += body(part);
    EXPECT_EQ(count(read_file("sms.txt"), " SMS: "), 1u) << "the parts are not logged alone";
    EXPECT_TRUE(has(read_file("sms.txt"), "\n\n" + whole + "\n"));
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD="), 7u);
    EXPECT_EQ(folder_names("sms_in/parts").size(), 7u) << "kept until the message was handled";
    seen();
    EXPECT_TRUE(folder_names("sms_in/parts").empty());
    EXPECT_EQ(count(sim->transcript(), "AT+CMGD="), 8u);
}

TEST_F(Reception, PartsWaitAcrossARestartAndAloneForADayAtMost) {
    auto first = modem({storedpart(0, 9, 2, 1, "first "), storedpart(0, 3, 3, 3, "part three"),
                        storedpart(0, 3, 3, 1, "part one")});
    for (int i = 0; i < 6; i++) sm_msgholen();
    EXPECT_EQ(folder_names("sms_in/parts").size(), 3u);
    restart();
    auto second = modem({storedpart(0, 9, 2, 2, "second")});
    untilshown();
    EXPECT_TRUE(has(sm__msgnachricht, "\n\nfirst second")) << sm__msgnachricht;
    seen();

    time_t old = time(nullptr) - 25 * 3600;
    struct utimbuf times = {old, old};
    for (const std::string& f : folder_names("sms_in/parts"))
        ASSERT_EQ(utime(("sms_in/parts/" + f).c_str(), &times), 0);
    for (const char* alone : {"\n\n<Long> part one", "\n\n<Long> part three"}) {
        untilshown();
        EXPECT_TRUE(has(sm__msgnachricht, alone)) << sm__msgnachricht;
        seen();
    }
    // A set of more parts than are collected is shown part by part.
    restart();
    auto big = modem({storedpart(0, 1, 20, 4, "four")});
    sm_msgholen();
    EXPECT_TRUE(has(sm__msgnachricht, "\n\n<Long> four"));
    EXPECT_TRUE(folder_names("sms_in/parts").empty());
}

TEST(ReceptionParts, ModemAnswersExpansionAndPermittedSenders) {
    EXPECT_EQ(sm__listindex("\r\n+CMGL:   12,1,,24\r\n"), 12);
    EXPECT_EQ(sm__listindex("\r\nOK\r\n"), -1);
    EXPECT_EQ(sm__listindex("\r\n+CMS ERROR: 302\r\n"), -1);
    // An "ERROR" far into the answer belongs to a message text, not to the command.
    EXPECT_EQ(sm__listindex(("\r\n+CMGL: 4,0,,24\r\n" + std::string(40, 'A') + "ERROR").c_str()),
              4);
    char pdu[100];
    EXPECT_TRUE(sm__readpdu("\r\n+CMGR: 0,,24\r\n07914321\r\n\r\nOK\r\n", pdu, sizeof pdu));
    EXPECT_STREQ(pdu, "07914321");
    EXPECT_FALSE(sm__readpdu("\r\n+CMS ERROR: 321\r\n", pdu, sizeof pdu));
    EXPECT_FALSE(sm__readpdu("\r\n+CMGR: 0,,24\r\n", pdu, sizeof pdu));

    char out[200];
    sm__expand("run %0 %1 %2 %3 %4 %% %", "+4917", "a b.c-d'$(x)`y`;|&<>\n", out, sizeof out);
    EXPECT_STREQ(out, "run 4917 +4917 'a b.c-d___x__y______' 'a b.c_d___x__y______' %4 % %");
    // Each argument one word whatever quotes the line has around it, never an option.
    sm__expand("p %2 \"%2\" '%3' \\'%2", "+1", " -o ../x ", out, sizeof out);
    EXPECT_STREQ(out, "p '_o ../x' \"_o ../x\" '_o .._x' \\''_o ../x'");
    // A sender without "+" has no "%0"; a call has no argument.
    sm__expand("%0|%1|%2", "0171", nullptr, out, sizeof out);
    EXPECT_STREQ(out, "%0|0171|%2");

    iv_inidefaults();
    strMcpy(inidat.smsnr[0], "+491701234567");
    strMcpy(inidat.smskey[0], "CODE");
    EXPECT_FALSE(sm__commandmatches(0, "491701234567", "my code 42", out, sizeof out))
        << "the comparison is exact, '+' included";
    inidat.smsnr[0][0] = inidat.smskey[0][0] = 0;
    EXPECT_TRUE(sm__commandmatches(0, "anyone", "whole body", out, sizeof out));
    EXPECT_STREQ(out, "whole body");
}
