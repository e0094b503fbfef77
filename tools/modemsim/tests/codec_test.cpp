#include "codec.h"

#include <gtest/gtest.h>

using namespace modemsim;

TEST(Fcs16, MatchesTheCrc16X25CheckValue) {
    EXPECT_EQ(fcs16("123456789"), 0x906E);
}

TEST(Fcs16, DataFollowedByItsFcsLowByteFirstGivesTheGoodFinalValue) {
    std::string frame = "K2\x03";
    frame += std::string("\0AT+CSQ\r", 8);
    std::uint16_t fcs = fcs16(frame);
    frame += static_cast<char>(fcs & 0xFF);
    frame += static_cast<char>(fcs >> 8);
    EXPECT_EQ(fcs16_update(kFcs16Init, frame), kFcs16Good);
    frame[3] ^= 1; // any changed bit breaks the check
    EXPECT_NE(fcs16_update(kFcs16Init, frame), kFcs16Good);
}

TEST(Gsm7, PacksAndUnpacksLikeTheStandardExample) {
    EXPECT_EQ(to_hex(pack_septets(text_to_gsm("hello"))), "E8329BFD06");
    EXPECT_EQ(decode_packed_hex_text("E8329BFD06"), "hello");
    // Eight characters fill seven octets exactly.
    EXPECT_EQ(pack_septets(text_to_gsm("*100#ABC")).size(), 7u);
    EXPECT_EQ(decode_packed_hex_text(to_hex(pack_septets(text_to_gsm("*100#ABC")))), "*100#ABC");
}

TEST(Gsm7, SevenCharactersLeaveAFillThatIsNotReadAsAnAt) {
    std::string hex = to_hex(pack_septets(text_to_gsm("*101#12")));
    EXPECT_EQ(hex.size(), 14u);
    EXPECT_EQ(decode_packed_hex_text(hex), "*101#12");
}

TEST(Gsm7, MapsGermanLettersToTheDefaultAlphabet) {
    EXPECT_EQ(text_to_gsm("\xC3\xA4\xC3\xB6\xC3\xBC"), "\x7B\x7C\x7E");          // UTF-8 äöü
    EXPECT_EQ(text_to_gsm("\xE4"), "\x7B");                                      // Latin-1 ä
    EXPECT_EQ(gsm_to_text(std::string("\x7B\x00\x40", 3)), "\xC3\xA4@\xC2\xA1"); // ä @ ¡
}

TEST(Gsm7, RejectsTextThatIsNotHex) {
    EXPECT_FALSE(decode_packed_hex_text("*100#"));
    EXPECT_FALSE(decode_packed_hex_text("ABC"));
}

TEST(Ucs2, EncodesAsBigEndianHex) {
    EXPECT_EQ(text_to_ucs2_hex("Hi!"), "004800690021");
    EXPECT_EQ(text_to_ucs2_hex("\xC3\xA4\xE2\x82\xAC"), "00E420AC"); // ä €
}

TEST(EscapeBytes, KeepsPrintableTextAndShowsTheRestAsHex) {
    EXPECT_EQ(escape_bytes(std::string("AT\0\xFF\\", 5)), "AT\\x00\\xFF\\x5C");
}
