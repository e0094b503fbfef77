#include "config/config_record.h"
#include "control/session_state.h"
#include "foundation/utilities.h"
#include "modem/at_channel.h"
#include "pty_peer.h"
#include "test_support.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <pty.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

class Channel : public ::testing::Test {
  protected:
    void SetUp() override {
        iv_inidefaults();
        MODUS('P') = 1;
        ruhestatus = 0;
        programmende_gewuenscht = false;
        geraet = 0;
        secportmanuell = true;
        novatelu740 = false;
        _de = false;
        cm_ini();
    }
    void TearDown() override {
        cm_postini();
        ruhestatus = 0;
        programmende_gewuenscht = false;
        iv_inidefaults();
    }
    std::string answer_to(const char* cmd) {
        EXPECT_TRUE(cm_puts(cmd));
        msleep(static_cast<unsigned long>(comzeit));
        char t[antwortLEN];
        cm_gets(t, 5);
        return t;
    }
    InTempDir tmp;
};

PtyPeer::Responder answer_ok() {
    return [](PtyPeer& p, const std::string& got) {
        if (got.find('\r') != std::string::npos) p.send("\r\nOK\r\n");
    };
}

} // namespace

TEST(SecondaryPacket, FrameCheckSequence) {
    const unsigned char check[] = "123456789";
    EXPECT_EQ(cm__fcs16(check, 9), 0x906E) << "the standard check value of this FCS";

    unsigned char pkt[cm__PACKETLEN];
    cm__buildpacket(pkt, "AT+CSQ\r", false, false);
    EXPECT_EQ(pkt[0], 'K');
    EXPECT_EQ(pkt[1], '2');
    EXPECT_EQ(pkt[2], 0x03);
    EXPECT_EQ(memcmp(pkt + 4, "AT+CSQ\r", 7), 0);
    EXPECT_EQ(pkt[11], 0) << "zero padded";
    EXPECT_EQ(pkt[644], 7);
    EXPECT_EQ(pkt[650], 0x7E);
    // Data and FCS (low byte first) together leave the good residue of the HDLC check.
    EXPECT_EQ(cm__fcs16(pkt, 650), static_cast<uint16_t>(~0xF0B8));

    unsigned char fetch[cm__PACKETLEN], fetch740[cm__PACKETLEN];
    cm__buildpacket(fetch, "ignored", true, false);
    cm__buildpacket(fetch740, "", true, true);
    EXPECT_EQ(fetch[2], 0x04);
    EXPECT_EQ(fetch[644], 0);
    EXPECT_EQ(fetch[4], 0);
    EXPECT_EQ(fetch740[1], 0xFA);
    EXPECT_NE(memcmp(fetch + 648, fetch740 + 648, 2), 0) << "check bytes depend on byte 1";

    cm__buildpacket(pkt, "AT+COPS=3,2\rAT+COPS?\r", false, false);
    EXPECT_EQ(pkt[644], 20) << "at most 20 characters of text";
}

TEST(SecondaryPacket, LengthCorrectionsBySyntax) {
    char t[1000];
    auto answer = [&](const std::string& text) {
        memset(t, 0, sizeof t);
        std::string s = "    " + text;
        memcpy(t, s.data(), s.size());
    };
    answer("\r\n+CSQ: 17,99\r\n\r\nOK\r\nGARBAGE");
    EXPECT_NE(cm__correctlength(t, 3), nullptr) << "length byte wrong: adjusted and logged";
    EXPECT_STREQ(t, "    \r\n+CSQ: 17,99\r\n\r\nOK\r\n");
    answer("\r\n+CSQ: 17,99\r\n\r\nOK\r\n");
    EXPECT_EQ(cm__correctlength(t, 21), nullptr) << "4 + length matches: nothing to log";

    answer("\r\n+CREG: 0,1\r\n\r\nOK\r\nxxxxxxxx");
    cm__correctlength(t, 0);
    EXPECT_STREQ(t, "    \r\n+CREG: 0,1\r\n\r\nOK\r\n");
    answer("\r\n+CGREG: 0,1\r\n\r\nOK\r\nyyyy");
    cm__correctlength(t, 0);
    EXPECT_STREQ(t, "    \r\n+CGREG: 0,1\r\n\r\nOK\r\n");
    answer("\r\n$NWRAT: 2,2,3\r\n\r\nOK\r\nzz");
    cm__correctlength(t, 0);
    EXPECT_STREQ(t, "    \r\n$NWRAT: 2,2,3\r\n\r\nOK\r\n");

    answer("\r\n+COPS: 0,0,\"Vodafone.de\",2\r\n\r\nOK\r\nnoise after the answer");
    cm__correctlength(t, 99);
    EXPECT_STREQ(t, "    \r\n+COPS: 0,0,\"Vodafone.de\",2\r\n\r\nOK\r\n");
    answer("\r\n+COPS: 0\r\n\r\nOK\r\nrest");
    EXPECT_EQ(cm__correctlength(t, 0), nullptr);
    EXPECT_STREQ(t, "    \r\n+COPS: 0\r\n\r\nOK\r\nrest") << "no name in quotes: no cut";

    answer("\r\nOK\r\n");
    EXPECT_NE(cm__correctlength(t, 1), nullptr) << "short text with a small length byte kept";
    EXPECT_STREQ(t, "    \r\nOK\r\n");
    answer("\r\nManufacturer: Novatel\r\nOK\r\n");
    cm__correctlength(t, 10);
    EXPECT_STREQ(t, "    \r\nManufact") << "otherwise cut at 4 + length";
}

TEST(ChannelPure, LogFormsAndSimulation) {
    char f[32];
    cm__commandlog("AT+CPIN=\"1234\"\r", false, f, sizeof f);
    EXPECT_STREQ(f, "s:  AT+CPIN=xxxx\r\n");
    cm__commandlog("AT+CSQ\r", true, f, sizeof f);
    EXPECT_STREQ(f, "S:  %s\r\n");
    cm__commandlog("AT+CSQ\r", false, f, sizeof f);
    EXPECT_STREQ(f, "s:  %s\r\n");

    char m[100];
    cm__maskimei("\r\nIMEI: 351234567890123\r\nOK", m, sizeof m);
    EXPECT_STREQ(m, "\r\nIMEI: xxxxxxxxxxxxxxx\r\nOK");
    cm__maskimei("IMEI number 12", m, sizeof m);
    EXPECT_STREQ(m, "IMEI number 12") << "at most four non-digits are skipped";
    char echo[] = "AT+CPIN=\"12345678\",\"4711\"\r\r\nOK\r\n+CSQ: 20,99";
    cm__maskpinecho(echo);
    EXPECT_STREQ(echo, "AT+CPIN=\"xxxxxxxx\",\"xxxx\"\r\r\nOK\r\n+CSQ: 20,99")
        << "PUK and PIN echoed";

    EXPECT_TRUE(cm__simulatedcommand("AT_OPSYS=3,2\r", 6));
    EXPECT_TRUE(cm__simulatedcommand("AT+COPS=?\r", 6) == false);
    EXPECT_TRUE(cm__simulatedcommand("AT+COPS=3,2\r", 6));
    EXPECT_FALSE(cm__simulatedcommand("AT+COPS=0\r", 6));
    EXPECT_FALSE(cm__simulatedcommand("AT+COPS=1,2,\"26202\"\r", 6));
    EXPECT_FALSE(cm__simulatedcommand("AT_OPSYS=3,2\r", 3));
    char a[100];
    cm__simanswer("AT+COPS?\r", "", a, sizeof a);
    EXPECT_STREQ(a, "\r\n+COPS: 0,0,\"Internet\",9\r\nOK\r\n");
    cm__simanswer("AT+COPS?\r", "a-very-long-connection-name", a, sizeof a);
    EXPECT_STREQ(a, "\r\n+COPS: 0,0,\"a-very-long-connecti\",9\r\nOK\r\n");
    cm__simanswer("ATI\r", "", a, sizeof a);
    EXPECT_STREQ(a, "");
}

TEST(ChannelPure, ReadErrorScore) {
    bool alarm;
    int s = 0;
    for (int i = 0; i < 9; i++) s = cm__nextscore(s, 0, false, &alarm);
    EXPECT_EQ(s, 9);
    EXPECT_EQ(cm__nextscore(s, 12, false, &alarm), 0) << "a read with data resets";
    EXPECT_EQ(cm__nextscore(s, 0, true, &alarm), 9) << "the console's silence does not count";
    EXPECT_EQ(cm__nextscore(8, -1, false, &alarm), 10);
    EXPECT_FALSE(alarm);
    EXPECT_EQ(cm__nextscore(9, -1, false, &alarm), 11);
    EXPECT_TRUE(alarm) << "a failure above 8 is shown";
}

TEST(ChannelPure, UserStringSplitterAndEscapes) {
    auto p = cm__splituserstring("AT+A\\rAT+B\\R\\PAT+C");
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].bytes, "AT+A");
    EXPECT_EQ(p[0].sep, cm__SEP_CR);
    EXPECT_EQ(p[1].bytes, "AT+B");
    EXPECT_EQ(p[1].sep, cm__SEP_CR_READ);
    EXPECT_EQ(p[2].bytes, "");
    EXPECT_EQ(p[2].sep, cm__SEP_LONGPAUSE);
    EXPECT_EQ(p[3].bytes, "AT+C");
    EXPECT_EQ(p[3].sep, cm__SEP_END);

    p = cm__splituserstring("AT\\\\x\\x1a\\x1Aq\\pz\\xZZ\\q");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].bytes, "AT\\x\x1a\x1aq");
    EXPECT_EQ(p[0].sep, cm__SEP_PAUSE);
    EXPECT_EQ(p[1].bytes, "z\\xZZ\\q") << "other backslashes are sent as they are";

    EXPECT_TRUE(cm__splituserstring("").empty());
    p = cm__splituserstring(std::string(3000, 'A').c_str());
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].bytes.size(), 1019u) << "cut to the piece buffer";
}

TEST_F(Channel, SimulationAnswers) {
    ASSERT_TRUE(cm_open("NONE", 0));
    EXPECT_TRUE(cm_issim());
    EXPECT_EQ(answer_to("AT+CREG?\r"), "\r\n+CREG: 0,1\r\nOK\r\n");
    EXPECT_EQ(answer_to("AT+CGREG?\r"), "\r\n+CGREG: 0,1\r\nOK\r\n");
    strMcpy(inidat.con, "web.vodafone.de");
    EXPECT_EQ(answer_to("AT+COPS?\r"), "\r\n+COPS: 0,0,\"web.vodafone.de\",9\r\nOK\r\n");
    EXPECT_EQ(answer_to("ATI\r"), "\r\nOK\r\n");
    EXPECT_TRUE(cm_putm("K2", 2));
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("simu s:  AT+CREG?"), std::string::npos);
    EXPECT_NE(log.find("ok r:  "), std::string::npos);
    cm_close();
    EXPECT_FALSE(cm_issim());
}

TEST_F(Channel, SecondPathOfTheListAndDialogue) {
    PtyPeer modem([](PtyPeer& p, const std::string& got) {
        if (got.find("AT+CGSN") != std::string::npos)
            p.send("\r\nIMEI: 351234567890123\r\nOK\r\n");
        else if (got.find('\r') != std::string::npos)
            p.send("\r\nOK\r\n");
    });
    std::string list = std::string("/nonexistent/ttyUSB9,") + modem.path();
    ASSERT_TRUE(cm_open(list.c_str(), 0));
    EXPECT_TRUE(cm_isopen());
    EXPECT_EQ(answer_to("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(answer_to("AT+CPIN=\"4711\"\r"), "\r\nOK\r\n");
    EXPECT_NE(answer_to("AT+CGSN\r").find("351234567890123"), std::string::npos)
        << "the caller gets the real answer";
    EXPECT_NE(modem.received().find("AT+CPIN=\"4711\"\r"), std::string::npos);

    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("Opened Port " + list + "."), std::string::npos);
    EXPECT_NE(log.find("s:  AT+CPIN=xxxx"), std::string::npos);
    EXPECT_EQ(log.find("4711"), std::string::npos) << "the PIN never reaches the log";
    EXPECT_EQ(log.find("351234567890123"), std::string::npos) << "nor the IMEI";
    EXPECT_NE(log.find("IMEI: xxxxxxxxxxxxxxx"), std::string::npos);

    cm_close();
    EXPECT_FALSE(cm_isopen());
    EXPECT_EQ(answer_to("AT\r"), "\r\nOK\r\n") << "a closed channel reopens its path by itself";
}

TEST_F(Channel, SingleByteFollowedByTheRest) {
    PtyPeer modem([](PtyPeer& p, const std::string& got) {
        if (got.find('\r') == std::string::npos) return;
        p.send("\r");
        msleep(60);
        p.send("\n+CSQ: 17,99\r\n\r\nOK\r\n");
    });
    ASSERT_TRUE(cm_open(modem.path(), 0));
    EXPECT_TRUE(cm_puts("AT+CSQ\r"));
    char t[antwortLEN];
    cm_gets(t, 5); // no pause before reading: the first byte arrives alone
    EXPECT_STREQ(t, "\r\n+CSQ: 17,99\r\n\r\nOK\r\n");
}

TEST_F(Channel, OversizedAnswerIsCutAtTheReadLimit) {
    PtyPeer modem([](PtyPeer& p, const std::string& got) {
        if (got.find('\r') == std::string::npos) return;
        std::string big(3000, 'A');
        big[10] = 0; // a NUL inside the answer ends the text, never the buffer
        p.send(big);
    });
    ASSERT_TRUE(cm_open(modem.path(), 0));
    cm_puts("AT+CMGL=4\r");
    msleep(300);
    char t[antwortLEN];
    memset(t, 'Z', sizeof t);
    cm_gets(t, 5);
    EXPECT_STREQ(t, "AAAAAAAAAA");
    EXPECT_EQ(t[999], 0) << "at most 999 bytes are read";
    EXPECT_EQ(t[1000], 'Z') << "nothing written behind the read limit";
}

TEST_F(Channel, SilenceRequestsAPauseAndDataResetsTheScore) {
    std::atomic<bool> speak{false};
    PtyPeer modem([&](PtyPeer& p, const std::string&) {
        if (speak) p.send("\r\nOK\r\n");
    });
    ASSERT_TRUE(cm_open(modem.path(), 0));
    char t[antwortLEN];
    for (int i = 0; i < 9; i++) cm_gets(t, 5);
    EXPECT_FALSE(programmende_gewuenscht);
    speak = true;
    cm_puts("AT\r");
    msleep(200);
    cm_gets(t, 5);
    EXPECT_STREQ(t, "\r\nOK\r\n");
    speak = false;
    for (int i = 0; i < 9; i++) cm_gets(t, 5);
    EXPECT_FALSE(programmende_gewuenscht) << "the good read reset the score";
    cm_gets(t, 5);
    EXPECT_TRUE(programmende_gewuenscht) << "the tenth empty read in a row";
    EXPECT_EQ(ruhestatus, 1);
    EXPECT_NE(read_file("connlog.txt").find("Communications error at port"), std::string::npos);
}

TEST_F(Channel, VanishedPortFailsFastAndRequestsAPause) {
    auto modem = std::make_unique<PtyPeer>(answer_ok());
    ASSERT_TRUE(cm_open(modem->path(), 0));
    EXPECT_EQ(answer_to("AT\r"), "\r\nOK\r\n");
    modem->hangup();
    char t[antwortLEN];
    int reads = 0;
    for (; reads < 12 && !programmende_gewuenscht; reads++) cm_gets(t, 5);
    EXPECT_STREQ(t, "");
    EXPECT_TRUE(programmende_gewuenscht);
    EXPECT_LE(reads, 10) << "a hung-up line reads as failed or empty at once";
    EXPECT_EQ(ruhestatus, 1);
}

TEST_F(Channel, SixAttemptsTwoSecondsApart) {
    EXPECT_FALSE(cm_open("/nonexistent/a,/nonexistent/b", 0));
    std::string log = read_file("servilog.txt");
    size_t retries = 0;
    for (size_t at = 0; (at = log.find("Retry to open port", at)) != std::string::npos; at++)
        retries++;
    EXPECT_EQ(retries, 5u);
    EXPECT_NE(log.find("Port /nonexistent/a,/nonexistent/b could not be opened."),
              std::string::npos);
}

TEST_F(Channel, FrozenWhilePaused) {
    PtyPeer modem(answer_ok());
    ASSERT_TRUE(cm_open(modem.path(), 0));
    ruhestatus = 2;
    EXPECT_FALSE(cm_puts("AT\r"));
    char t[antwortLEN] = "junk";
    cm_gets(t, 5);
    EXPECT_STREQ(t, "");
    msleep(100);
    EXPECT_EQ(modem.received(), "") << "nothing reaches the modem while paused";
    ruhestatus = 0;
}

TEST_F(Channel, UserCommandsWithSeparatorsAndPauses) {
    PtyPeer modem(answer_ok());
    ASSERT_TRUE(cm_open(modem.path(), 0));
    cm_userat("\\*AT+A\\rAT+B\\R\\PAT+C\\x1A");
    msleep(100);
    std::string got = modem.received();
    EXPECT_EQ(got, "AT+A\rAT+B\rAT+C\x1A\r");
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("Sending user-defined commands."), std::string::npos);
    EXPECT_NE(log.find("End of user-defined commands."), std::string::npos);

    strMcpy(inidat.devi, "AT&F\\r\\rATE0");
    cm_userat(nullptr);
    msleep(100);
    EXPECT_EQ(modem.received(), got + "AT&F\r\rATE0\r") << "an empty piece before \\r is a lone CR";
}

namespace {

// A Novatel diagnostic port: every packet is acknowledged, and the fetch packet brings the
// answer (here with noise behind it and a wrong length byte, as the devices do).
void diagnostic_port(PtyPeer& p, const std::string& got, std::string& pending, int& fetches,
                     const std::string& answer, size_t answer_packet_size) {
    pending += got;
    while (pending.size() >= cm__PACKETLEN) {
        std::string pkt = pending.substr(0, cm__PACKETLEN);
        pending.erase(0, cm__PACKETLEN);
        auto* b = reinterpret_cast<const unsigned char*>(pkt.data());
        if (cm__fcs16(b, 650) != static_cast<uint16_t>(~0xF0B8)) continue;
        unsigned char reply[cm__PACKETLEN] = {};
        reply[0] = 'K';
        reply[1] = '2';
        reply[2] = b[2];
        if (b[2] == 0x04 && ++fetches >= 2) {
            memcpy(reply + 4, answer.data(), answer.size());
            reply[644] = 3;
        }
        reply[650] = 0x7E;
        p.send(reply, b[2] == 0x04 && fetches >= 2 ? answer_packet_size : cm__PACKETLEN);
    }
}

} // namespace

TEST_F(Channel, SecondaryPortRoundTrip) {
    PtyPeer primary(answer_ok());
    std::string pending;
    int fetches = 0;
    PtyPeer diag([&](PtyPeer& p, const std::string& got) {
        diagnostic_port(p, got, pending, fetches, "\r\n+CSQ: 21,99\r\n\r\nOK\r\nNOISE", 651);
    });
    ASSERT_TRUE(cm_open(primary.path(), 0));
    strMcpy(inidat.com2, diag.path());
    cm_change();
    EXPECT_TRUE(cm_secport);
    EXPECT_TRUE(cm_puts("AT+CSQ\r"));
    msleep(static_cast<unsigned long>(ANTWORTZEIT2));
    char t[antwortLEN];
    cm_gets(t, 5);
    EXPECT_STREQ(t, "    \r\n+CSQ: 21,99\r\n\r\nOK\r\n");
    EXPECT_EQ(fetches, 2) << "fetched again while the answer was not ready";
    std::string log = read_file("servilog.txt");
    EXPECT_NE(log.find("S:  AT+CSQ"), std::string::npos);
    EXPECT_NE(log.find("rb: Syntax recognized, length adjusted."), std::string::npos);
    EXPECT_EQ(primary.received(), "") << "the primary port stays free for the connection";
}

TEST_F(Channel, SecondaryPortWrongPacketLength) {
    PtyPeer primary(answer_ok());
    std::string pending;
    int fetches = 0;
    PtyPeer diag([&](PtyPeer& p, const std::string& got) {
        diagnostic_port(p, got, pending, fetches, "\r\nOK\r\n", 100);
    });
    ASSERT_TRUE(cm_open(primary.path(), 0));
    strMcpy(inidat.com2, diag.path());
    cm_change();
    cm_puts("AT+CREG?\r");
    msleep(400);
    char t[antwortLEN];
    cm_gets(t, 5);
    EXPECT_STREQ(t, "");
    EXPECT_NE(read_file("servilog.txt").find("rb: Wrong packet length: 100."), std::string::npos);
}
