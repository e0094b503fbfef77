// The PDU codec against messages built by the rules of 3GPP TS 23.040 and 23.038.
#include "sms/pdu_codec.h"
#include "sms_pdu_builder.h"
#include "test_support.h"

namespace {

sm__deliver_t decode(const Octets& o) {
    sm__deliver_t m;
    EXPECT_TRUE(sm__decodedeliver(o.data(), o.size(), &m));
    return m;
}

} // namespace

TEST(PduDecode, SendersTimeStampAndText) {
    // An ordinary international sender is read through the reception tests.
    Deliver d;
    d.text7("Hello world");
    // National, odd digit count (the filler nibble dropped); names; a non-digit nibble.
    EXPECT_STREQ(decode(d.from("01712345678", 0x81).octets()).sender, "01712345678");
    EXPECT_STREQ(decode(d.fromname("InternetSMS").octets()).sender, "InternetSMS");
    EXPECT_STREQ(decode(d.fromname("Vodafon").octets()).sender, "Vodafon");
    d.from("4917", 0x81).addr[1] = 0x7B;
    EXPECT_STREQ(decode(d.octets()).sender, "0000");

    // The classic example PDU: sender type 0xC8 (no "+"), eleven digits, "hellohello".
    const char* hex = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
    Octets o(strlen(hex) / 2);
    ASSERT_EQ(sm__hextooctets(hex, o.data(), o.size()), o.size());
    sm__deliver_t m = decode(o);
    EXPECT_STREQ(m.sender, "27838890001");
    EXPECT_STREQ(m.stamp, "2099-03-29 15:16:59 [08]");
    EXPECT_STREQ(m.text, "hellohello");
}

TEST(PduDecode, AlphabetsByCodingScheme) {
    // The coding groups: general, message waiting, data coding; each in its three alphabets.
    for (int dcs : {0x00, 0x11, 0xF1, 0xD0, 0x8C}) EXPECT_EQ(sm__alphabet(dcs), sm__GSM7) << dcs;
    for (int dcs : {0x04, 0xF4, 0x24}) EXPECT_EQ(sm__alphabet(dcs), sm__DATA8) << dcs;
    for (int dcs : {0x08, 0x18, 0xE0}) EXPECT_EQ(sm__alphabet(dcs), sm__UCS2) << dcs;

    Deliver d;
    d.from("4917012345");
    // "5 " euro, "{x}", an escape before an unknown code, and the German letters.
    d.text7(std::string("5 \x1B\x65 \x1B\x28x\x1B\x29 \x1B\x41\x5B\x7C\x1E\0\x24", 18));
    EXPECT_STREQ(decode(d.octets()).text, "5 EUR {x}  A\xC4\xF6\xDF@\xD7");

    // An odd last octet is dropped.
    d.dcs = 0x18;
    d.ud = {0x00, 0xFC, 0x00};
    d.udl = 3;
    EXPECT_STREQ(decode(d.octets()).text, "\xFC");
    d.dcs = 0xF4;
    d.ud = {0x01, 0xAB, 0x7F};
    d.udl = 3;
    EXPECT_STREQ(decode(d.octets()).text, "01AB7F");
}

TEST(PduDecode, LongMessageHeaders) {
    // 8-bit reference: a six-octet header and one fill bit; 16-bit: seven octets, none.
    for (bool ref16 : {false, true}) {
        for (bool fillones : {false, true}) {
            sm__deliver_t m = decode(
                longpart("491701234567", 0x1234, 3, 2, "part two", ref16, fillones).octets());
            EXPECT_STREQ(m.text, "part two") << ref16 << fillones;
            ASSERT_TRUE(m.concat.present);
            EXPECT_EQ(m.concat.ref, ref16 ? 0x1234u : 0x34u);
            EXPECT_EQ(m.concat.total * 10 + m.concat.part, 32);
        }
    }
    // Impossible part numbers leave the part on its own.
    for (auto [total, part] : {std::pair{3, 0}, {3, 4}, {0, 0}, {1, 1}}) {
        sm__deliver_t m = decode(longpart("491701234567", 9, total, part, "alone", false).octets());
        EXPECT_TRUE(!m.concat.present && strcmp(m.text, "alone") == 0) << total << "/" << part;
    }
}

TEST(PduDecode, LengthsPointingPastTheEnd) {
    Deliver d;
    d.from("491701234567").text7("Hello world");
    Octets full = d.octets();
    // Cut anywhere before the user-data length: nothing can be trusted.
    sm__deliver_t m;
    for (size_t n = 0; n < full.size() - d.ud.size(); n++)
        EXPECT_FALSE(sm__decodedeliver(full.data(), n, &m)) << n;
    // Cut inside the user data: what arrived is shown.
    ASSERT_TRUE(sm__decodedeliver(full.data(), full.size() - 4, &m));
    EXPECT_STREQ(m.text, "Hello ");

    // An address longer than any number: unreadable (a header too long: in the reception's).
    d.addrlen = 30;
    d.addr.resize(15, 0x11);
    EXPECT_TRUE(decode(d.octets()).malformed);

    // Only upper-case hex pairs count, up to the first other character and the room.
    uint8_t o[8];
    EXPECT_EQ(sm__hextooctets("0A1Fb2", o, sizeof o), 2u);
    EXPECT_EQ(o[1], 0x1F);
    EXPECT_EQ(sm__hextooctets("ABC", o, sizeof o) * 10 +
                  sm__hextooctets("00112233445566778899", o, sizeof o),
              18u);
}

TEST(PduSubmit, RecipientsServiceCentreAndLength) {
    // Centre, recipient, international, text; the PDU, its TPDU length and characters.
    const std::tuple<const char*, const char*, bool, const char*, const char*, int, int> cases[] = {
        {"", "491701234567", true, "Hi", "0011000C919471103254760000FF02C834\x1A", 16, 2},
        {"", "01712345678", false, "Hi", "0011000B811017325476F80000FF02C834\x1A", 16, 2},
        {"+12345", "4917", true, "A", "04912143F51100049194710000FF0141\x1A", 11, 1},
        // Umlauts in UTF-8 count as one character each: ä = 0x7B, ö = 0x7C.
        {"", "4917", true, "\xC3\xA4\xC3\xB6", "001100049194710000FF027B3E\x1A", 12, 2},
        // '$' and '@' have codes of their own: 0x02 and 0x00.
        {"", "4917", true, "5$@", "001100049194710000FF03350100\x1A", 13, 3},
    };
    char pdu[400];
    int tpdu = 0, chars = 0;
    for (auto [centre, recipient, intl, text, want, wanttpdu, wantchars] : cases) {
        ASSERT_TRUE(sm__buildsubmit(centre, recipient, intl, text, pdu, sizeof pdu, &tpdu, &chars));
        EXPECT_STREQ(pdu, want);
        EXPECT_EQ(tpdu * 100 + chars, wanttpdu * 100 + wantchars) << want;
    }
    std::string longer(170, 'a');
    ASSERT_TRUE(sm__buildsubmit("", "4917", true, longer.c_str(), pdu, sizeof pdu, &tpdu, &chars));
    EXPECT_EQ(chars, 160);
    EXPECT_EQ(std::string(pdu).substr(20, 2), "A0");
    EXPECT_EQ(strlen(pdu), 22u + 2 * 140 + 1);
    EXPECT_FALSE(sm__buildsubmit("", "49a7", true, "x", pdu, sizeof pdu, &tpdu, &chars));
    EXPECT_FALSE(sm__buildsubmit("", "4917", true, "x", pdu, 10, &tpdu, &chars));
}
