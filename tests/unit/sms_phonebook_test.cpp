// The SMS page's files: phone book, message names and list lines, addressees, folders.
#include "ui/sms_phonebook.h"

#include "test_support.h"

TEST(SmsPhoneBook, EntryLinesKeepNamesWithCommasAndRejectOthers) {
    const std::pair<const char*, const char*> cases[] = {
        {" \tMeier, Hans  \t +491577123 \r", "Meier, Hans|+491577123"},
        {"Hotline -22202", "Hotline|-22202"},
        // A comment, no sign, no digit after the sign, no name, nothing.
        {"# Anna +491577123", ""},
        {"Anna 491577123", ""},
        {"Anna +", ""},
        {"  +491577123", ""},
        {"", ""},
    };
    for (const auto& [line, want] : cases) {
        cf__smsi_t e;
        bool ok = cf__smsentry(line, strlen(line), &e);
        EXPECT_EQ(ok ? e.name + "|" + e.nummer : "", want) << line;
    }
}

TEST(SmsPhoneBook, TablesAreSortedByNameIgnoringCaseAndByNumber) {
    cf__smsbook b = cf__smsbookparse("# mavlyn\r\nzora +4930\r\nAnton +4940\r\nberta +4910\r\n"
                                     "no number here\r\nCarl -112");
    std::string names, numbers;
    for (const auto& e : b.cf__smsnamei) names += e.name + " ";
    for (const auto& e : b.cf__smsnummeri) numbers += e.nummer + " ";
    EXPECT_EQ(names, "Anton berta Carl zora ");
    EXPECT_EQ(numbers, "+4910 +4930 +4940 -112 ");
    EXPECT_EQ(cf__smsname(b, "+494"), nullptr);
    EXPECT_TRUE(cf__smsknown(b, "ANTON", "+1"));
    EXPECT_TRUE(cf__smsknown(b, "Someone", "+4930"));
    EXPECT_FALSE(cf__smsknown(b, "Someone", "+4999"));
}

TEST(SmsFileNames, MessagesListLinesAndBack) {
    for (const char* no :
         {"sms_20101011_123456__Vodafone.txt", "sms_20101011_123456__-x.txt",
          "sms_2010101_1234567__491.txt", "sms_20101011_123456_491.txt", "sms_2010", ""})
        EXPECT_FALSE(cf__sms_okliste(no)) << no;
    EXPECT_TRUE(cf__sms_okliste("sms_20101011_123456__-22202.txt"));
    cf__smsbook b = cf__smsbookparse("Hans\tMeier +491577123\r\n");
    const char* const names[] = {"sms_20101011_123456__491577123.txt",
                                 "sms_20101011_123456__-22202.txt"};
    // A waiting message is marked; a tab inside a listed name does not shift the fields.
    std::string line = cf__sms_zuliste(names[0], false, b);
    EXPECT_EQ(line, " \t2010-10-11\t12:34'56\tHans Meier\t+491577123");
    EXPECT_EQ(cf__sms_vonliste(line), names[0]);
    line = cf__sms_zuliste(names[1], true, b);
    EXPECT_EQ(line, "*\t2010-10-11\t12:34'56\t\t-22202");
    EXPECT_EQ(cf__sms_vonliste(line), names[1]);
    std::string number, name;
    cf__smslineaddressee(" \t2010-10-11\t12:34'56\tHans\t+491577123", &number, &name);
    EXPECT_EQ(number + "|" + name, "+491577123|Hans");
    for (const char* bad :
         {"", " \t2010-10-11\t12:34'56\tHans", " \t2010-10-11\t12:34'56\t\t+49/../x",
          " \t2010/10/11\t12:34'56\t\t+49"})
        EXPECT_EQ(cf__sms_vonliste(bad), "") << bad;
}

TEST(SmsAddressee, NumberBeforeOrAfterANameMustCarryItsSign) {
    const std::pair<const char*, const char*> cases[] = {
        {"  Meier, Hans   +491577123 ", "+491577123|Meier, Hans"},
        {"+491577123 Hans", "+491577123|Hans"},
        {"-22202", "-22202|"},
        {"Hans", ""},
        {"Hans+491577123", ""},
        {"", ""},
    };
    for (const auto& [text, want] : cases) {
        std::string number, name;
        bool ok = cf__smsaddressee(text, &number, &name);
        EXPECT_EQ(ok ? number + "|" + name : "", want) << text;
    }
    EXPECT_EQ(cf__smsqueuename("20101011_123456", "+49-157-7123"),
              "sms_20101011_123456__491577123.txt");
    EXPECT_EQ(cf__smsqueuename("20101011_123456", "-22202"), "sms_20101011_123456__-22202.txt");
}

TEST(SmsFolders, OutboxListsSentAndWaitingMessagesSorted) {
    InTempDir dir;
    ASSERT_EQ(system("mkdir sms_in sms_out sms_send"), 0);
    write_file("sms_out/sms_20101012_000000__491.txt", "second");
    write_file("sms_out/sms_20101011_000000__492.txt", "first");
    write_file("sms_out/notes.txt", "x");
    write_file("sms_send/sms_20101013_000000__493.txt", "waiting");
    cf__smslist out = cf__smslistload(1, cf__smsbook{});
    ASSERT_EQ(out.lines.size(), 3u);
    EXPECT_EQ(out.lines[0], " \t2010-10-11\t00:00'00\t\t+492");
    EXPECT_EQ(out.lines[2], "*\t2010-10-13\t00:00'00\t\t+493");
    EXPECT_EQ(cf__smsread(out.lines[0], 1), "first");
    EXPECT_EQ(cf__smsread(out.lines[2], 1), "waiting");
}

TEST(SmsFolders, AtMost400MessagesAreListedAndReadingStopsAt299Bytes) {
    InTempDir dir;
    ASSERT_EQ(system("mkdir sms_in"), 0);
    for (int i = 0; i < 401; i++)
        write_file("sms_in/sms_20101011_" + std::to_string(100000 + i) + "__49.txt", "x");
    cf__smslist in = cf__smslistload(0, cf__smsbook{});
    EXPECT_EQ(in.lines.size(), 400u);
    EXPECT_TRUE(in.truncated);
    write_file("sms_in/sms_20101011_100000__49.txt", std::string(500, 'a'));
    EXPECT_EQ(cf__smsread(" \t2010-10-11\t10:00'00\t\t+49", 0).size(), 299u);
    unlink("sms_in/sms_20101011_100000__49.txt");
    in = cf__smslistload(0, cf__smsbook{});
    EXPECT_EQ(in.lines.size(), 400u);
    EXPECT_FALSE(in.truncated);
    EXPECT_EQ(cf__smsread(" \t2010-10-11\t10:00'00\t\t+49", 0), "");
}

TEST(SmsFolders, QueuedMessageIsWholeAndNeverOverwritesAnother) {
    InTempDir dir;
    ASSERT_TRUE(cf__smsqueue("20101011_123456", "+491577123", "Hallo"));
    EXPECT_TRUE(exists("sms_out"));
    // The same second again: the first message stays, the second is refused.
    EXPECT_FALSE(cf__smsqueue("20101011_123456", "+491577123", "Other"));
    EXPECT_EQ(read_file("sms_send/sms_20101011_123456__491577123.txt"), "Hallo");
    EXPECT_EQ(system("test $(ls -A sms_send | wc -l) -eq 1"), 0);
}
