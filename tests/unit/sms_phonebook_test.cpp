// The SMS page's files: phone-book lines, message file names and their list lines, the
// addressee field, and the folders the page lists and queues into.
#include "ui/sms_phonebook.h"

#include "test_support.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

bool entry(const char* line, cf__smsi_t* e) {
    return cf__smsentry(line, strlen(line), e);
}

void touch(const std::string& name, const std::string& text = "x") {
    std::ofstream(name, std::ios::binary) << text;
}

} // namespace

TEST(SmsPhoneBook, EntryLinesKeepNamesWithCommasAndRejectOthers) {
    cf__smsi_t e;
    ASSERT_TRUE(entry(" \tMeier, Hans  \t +491577123 \r", &e));
    EXPECT_EQ(e.name, "Meier, Hans");
    EXPECT_EQ(e.nummer, "+491577123");
    ASSERT_TRUE(entry("Hotline -22202", &e));
    EXPECT_EQ(e.nummer, "-22202");

    // A comment, no sign, no digit after the sign, no name, nothing.
    for (const char* no :
         {"# Anna +491577123", "Anna 491577123", "Anna +", "  +491577123", "", "Anna"})
        EXPECT_FALSE(entry(no, &e)) << no;
}

TEST(SmsPhoneBook, TablesAreSortedByNameIgnoringCaseAndByNumber) {
    cf__smsbook b = cf__smsbookparse("# mavlyn\r\nzora +4930\r\nAnton +4940\r\nberta +4910\r\n"
                                     "no number here\r\nCarl -112");
    ASSERT_EQ(b.cf__smsnamei.size(), 4u);
    EXPECT_EQ(b.cf__smsnamei[0].name, "Anton");
    EXPECT_EQ(b.cf__smsnamei[1].name, "berta");
    EXPECT_EQ(b.cf__smsnamei[2].name, "Carl");
    EXPECT_EQ(b.cf__smsnamei[3].name, "zora");
    EXPECT_EQ(b.cf__smsnummeri[0].nummer, "+4910");
    EXPECT_EQ(b.cf__smsnummeri[3].nummer, "-112");

    EXPECT_STREQ(cf__smsname(b, "+4940"), "Anton");
    EXPECT_STREQ(cf__smsname(b, "-112"), "Carl");
    EXPECT_EQ(cf__smsname(b, "+494"), nullptr);
    EXPECT_TRUE(cf__smsknown(b, "ANTON", "+1"));
    EXPECT_TRUE(cf__smsknown(b, "Someone", "+4930"));
    EXPECT_FALSE(cf__smsknown(b, "Someone", "+4999"));
}

TEST(SmsPhoneBook, BinaryBytesAndMissingLineEndsAreHandled) {
    const char raw[] = "A\0b +49\r\n\xff\xfe\x01 +1\nlast +4977";
    std::string text(raw, sizeof raw - 1);
    cf__smsbook b = cf__smsbookparse(text);
    ASSERT_EQ(b.cf__smsnamei.size(), 3u);
    EXPECT_STREQ(cf__smsname(b, "+4977"), "last");
}

TEST(SmsFileNames, OnlyDatedNamesWithANumberAreMessages) {
    for (const char* ok : {"sms_20101011_123456__491577123.txt", "sms_20101011_123456__-22202.txt"})
        EXPECT_TRUE(cf__sms_okliste(ok)) << ok;
    for (const char* no :
         {"sms_20101011_123456__Vodafone.txt", "sms_20101011_123456__-x.txt",
          "sms_2010101_1234567__491.txt", "sms_20101011_123456_491.txt", "sms_2010", ""})
        EXPECT_FALSE(cf__sms_okliste(no)) << no;
}

TEST(SmsFileNames, ListLinesAndBack) {
    cf__smsbook b = cf__smsbookparse("Hans +491577123\r\n");
    std::string line = cf__sms_zuliste("sms_20101011_123456__491577123.txt", false, b);
    EXPECT_EQ(line, " \t2010-10-11\t12:34'56\tHans\t+491577123");
    EXPECT_EQ(cf__sms_vonliste(line), "sms_20101011_123456__491577123.txt");

    line = cf__sms_zuliste("sms_20101011_123456__-22202.txt", true, b);
    EXPECT_EQ(line, "*\t2010-10-11\t12:34'56\t\t-22202");
    EXPECT_EQ(cf__sms_vonliste(line), "sms_20101011_123456__-22202.txt");

    // A tab inside a listed name does not shift the fields of the line.
    b = cf__smsbookparse("Hans\tMeier +491577123\r\n");
    line = cf__sms_zuliste("sms_20101011_123456__491577123.txt", false, b);
    EXPECT_EQ(line, " \t2010-10-11\t12:34'56\tHans Meier\t+491577123");
    EXPECT_EQ(cf__sms_vonliste(line), "sms_20101011_123456__491577123.txt");

    std::string number, name;
    cf__smslineaddressee(" \t2010-10-11\t12:34'56\tHans\t+491577123", &number, &name);
    EXPECT_EQ(number, "+491577123");
    EXPECT_EQ(name, "Hans");

    EXPECT_EQ(cf__sms_vonliste(""), "");
    EXPECT_EQ(cf__sms_vonliste(" \t2010-10-11\t12:34'56\tHans"), "");
    EXPECT_EQ(cf__sms_vonliste(" \t2010-10-11\t12:34'56\t\t+49/../x"), "");
    EXPECT_EQ(cf__sms_vonliste(" \t2010/10/11\t12:34'56\t\t+49"), "");
}

TEST(SmsAddressee, NumberBeforeOrAfterANameMustCarryItsSign) {
    std::string number, name;
    ASSERT_TRUE(cf__smsaddressee("  Meier, Hans   +491577123 ", &number, &name));
    EXPECT_EQ(number, "+491577123");
    EXPECT_EQ(name, "Meier, Hans");
    ASSERT_TRUE(cf__smsaddressee("+491577123 Hans", &number, &name));
    EXPECT_EQ(number, "+491577123");
    EXPECT_EQ(name, "Hans");
    ASSERT_TRUE(cf__smsaddressee("-22202", &number, &name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(cf__smsaddressee("0151 123", &number, &name));
    EXPECT_FALSE(cf__smsaddressee("Hans", &number, &name));
    EXPECT_FALSE(cf__smsaddressee("Hans+491577123", &number, &name));
    EXPECT_FALSE(cf__smsaddressee("", &number, &name));
}

TEST(SmsAddressee, QueueNamesCarryOnlyTheDigitsOfTheNumber) {
    EXPECT_EQ(cf__smsqueuename("20101011_123456", "+491577123"),
              "sms_20101011_123456__491577123.txt");
    EXPECT_EQ(cf__smsqueuename("20101011_123456", "+49-157-7123"),
              "sms_20101011_123456__491577123.txt");
    EXPECT_EQ(cf__smsqueuename("20101011_123456", "-22202"), "sms_20101011_123456__-22202.txt");
}

TEST(SmsFolders, OutboxListsSentAndWaitingMessagesSorted) {
    InTempDir dir;
    ASSERT_EQ(system("mkdir sms_in sms_out sms_send"), 0);
    touch("sms_out/sms_20101012_000000__491.txt", "second");
    touch("sms_out/sms_20101011_000000__492.txt", "first");
    touch("sms_out/notes.txt");
    touch("sms_send/sms_20101013_000000__493.txt", "waiting");
    cf__smsbook none;

    cf__smslist out = cf__smslistload(1, none);
    ASSERT_EQ(out.lines.size(), 3u);
    EXPECT_FALSE(out.truncated);
    EXPECT_EQ(out.lines[0], " \t2010-10-11\t00:00'00\t\t+492");
    EXPECT_EQ(out.lines[2], "*\t2010-10-13\t00:00'00\t\t+493");
    EXPECT_EQ(cf__smsread(out.lines[0], 1), "first");
    EXPECT_EQ(cf__smsread(out.lines[2], 1), "waiting");
    EXPECT_TRUE(cf__smslistload(0, none).lines.empty());
}

TEST(SmsFolders, AtMost400MessagesAreListed) {
    InTempDir dir;
    ASSERT_EQ(system("mkdir sms_in"), 0);
    for (int i = 0; i < 401; i++) {
        char name[64];
        snprintf(name, sizeof name, "sms_in/sms_20101011_%06i__49%i.txt", i, i);
        touch(name);
    }
    cf__smslist in = cf__smslistload(0, cf__smsbook{});
    EXPECT_EQ(in.lines.size(), 400u);
    EXPECT_TRUE(in.truncated);

    unlink("sms_in/sms_20101011_000000__490.txt");
    in = cf__smslistload(0, cf__smsbook{});
    EXPECT_EQ(in.lines.size(), 400u);
    EXPECT_FALSE(in.truncated);
}

TEST(SmsFolders, ReadingStopsAt299Bytes) {
    InTempDir dir;
    ASSERT_EQ(system("mkdir sms_in"), 0);
    touch("sms_in/sms_20101011_123456__49.txt", std::string(500, 'a'));
    EXPECT_EQ(cf__smsread(" \t2010-10-11\t12:34'56\t\t+49", 0).size(), 299u);
    EXPECT_EQ(cf__smsread(" \t2010-10-11\t12:34'57\t\t+49", 0), "");
}

TEST(SmsFolders, QueuedMessageIsWholeAndNeverOverwritesAnother) {
    InTempDir dir;
    ASSERT_TRUE(cf__smsqueue("20101011_123456", "+491577123", "Hallo"));
    EXPECT_EQ(read_file("sms_send/sms_20101011_123456__491577123.txt"), "Hallo");
    EXPECT_TRUE(exists("sms_out"));
    // The same second again: the first message stays, the second is refused.
    EXPECT_FALSE(cf__smsqueue("20101011_123456", "+491577123", "Other"));
    EXPECT_EQ(read_file("sms_send/sms_20101011_123456__491577123.txt"), "Hallo");
    EXPECT_EQ(system("test $(ls -A sms_send | wc -l) -eq 1"), 0);
}
