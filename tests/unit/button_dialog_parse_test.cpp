// The button-dialog language and the entry rules of the input dialog, without a display.
#include "ui/input_dialog.h"
#include "ui/message_box.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Parsed {
    std::string buf;
    bd__parsed_t p;
    explicit Parsed(const std::string& text) : buf(text) { bd__parse(buf.data(), &p); }
    std::string label(int i) const { return p.column[i].label; }
    std::string text(int i) const { return p.column[i].text; }
};

} // namespace

TEST(ButtonDialogLanguage, EmptyOrMissingTextGivesABareMessageWindow) {
    for (const char* t : {"", "|"}) {
        Parsed d(t);
        EXPECT_STREQ(d.p.title, "Message") << t;
        EXPECT_STREQ(d.p.message, "") << t;
        EXPECT_EQ(d.p.buttn, 0) << t;
        EXPECT_EQ(d.p.buttdef, -1) << t;
        EXPECT_EQ(bd__stockicon(d.p.type), nullptr) << t;
    }
    bd__parsed_t p;
    bd__parse(nullptr, &p);
    EXPECT_STREQ(p.title, "Message");
    EXPECT_EQ(p.buttn, 0);
}

TEST(ButtonDialogLanguage, InstallationQuestionGivesThreeColumnsWithDefault) {
    Parsed d("|q#mavlyn   Installation/Update#Please choose the mode of installation resp. "
             "update\n(files in the chosen directory will be updated).|+1#Standard#Directory "
             "\"~/mavlyn\"\nshall be used.|2#Manuell#Installation directory\nshall be chosen "
             "manually.|0#Cancel#Cancel installation\nresp. update.");
    EXPECT_STREQ(bd__stockicon(d.p.type), "gtk-dialog-question");
    EXPECT_STREQ(d.p.title, "mavlyn   Installation/Update");
    EXPECT_STREQ(d.p.message, "Please choose the mode of installation resp. update\n(files in the "
                              "chosen directory will be updated).");
    ASSERT_EQ(d.p.buttn, 3);
    EXPECT_EQ(d.p.buttdef, 0);
    EXPECT_EQ(d.label(0), "Standard");
    EXPECT_EQ(d.text(0), "Directory \"~/mavlyn\"\nshall be used.");
    EXPECT_EQ(d.p.column[0].ret, 1);
    EXPECT_EQ(d.label(1), "Manuell");
    EXPECT_EQ(d.p.column[1].ret, 2);
    EXPECT_EQ(d.label(2), "Cancel");
    EXPECT_EQ(d.text(2), "Cancel installation\nresp. update.");
    EXPECT_EQ(d.p.column[2].ret, 0);
}

TEST(ButtonDialogLanguage, SingleDefaultButtonWithMultiLineInstruction) {
    Parsed d("|e#mavlyn   Connect#Connection access error.|+0#End program#Check the modem.\n"
             "Then start again.");
    EXPECT_STREQ(bd__stockicon(d.p.type), "gtk-dialog-error");
    ASSERT_EQ(d.p.buttn, 1);
    EXPECT_EQ(d.p.buttdef, 0);
    EXPECT_EQ(d.p.column[0].ret, 0);
    EXPECT_EQ(d.label(0), "End program");
    EXPECT_EQ(d.text(0), "Check the modem.\nThen start again.");
}

TEST(ButtonDialogLanguage, TypeLettersChooseIcons) {
    EXPECT_STREQ(bd__stockicon('i'), "gtk-info");
    EXPECT_STREQ(bd__stockicon('w'), "gtk-dialog-warning");
    EXPECT_STREQ(bd__stockicon('e'), "gtk-dialog-error");
    EXPECT_STREQ(bd__stockicon('q'), "gtk-dialog-question");
    for (char c : {'x', 'I', 'Q', ' ', '#'}) EXPECT_EQ(bd__stockicon(c), nullptr) << c;
}

TEST(ButtonDialogLanguage, UnknownTypeLetterAndPlainDigitsGiveNoDefault) {
    Parsed d("|x#Title#Text|1#A#|2#B#");
    EXPECT_EQ(bd__stockicon(d.p.type), nullptr);
    EXPECT_STREQ(d.p.title, "Title");
    ASSERT_EQ(d.p.buttn, 2);
    EXPECT_EQ(d.p.buttdef, -1);
    EXPECT_EQ(d.label(0), "A");
    EXPECT_EQ(d.text(0), "");
    EXPECT_EQ(d.p.column[0].ret, 1);
    EXPECT_EQ(d.label(1), "B");
    EXPECT_EQ(d.p.column[1].ret, 2);
}

TEST(ButtonDialogLanguage, HeadFieldsAreOptional) {
    Parsed type_only("|w");
    EXPECT_EQ(type_only.p.type, 'w');
    EXPECT_STREQ(type_only.p.title, "Message");
    EXPECT_STREQ(type_only.p.message, "");

    Parsed title_only("|i#Only a title|1#A#");
    EXPECT_STREQ(title_only.p.title, "Only a title");
    EXPECT_STREQ(title_only.p.message, "");
    EXPECT_EQ(title_only.p.buttn, 1);

    // The message is the rest of the head, field separators included.
    Parsed hashes("|i#T#a#b");
    EXPECT_STREQ(hashes.p.message, "a#b");
}

TEST(ButtonDialogLanguage, OnlyTheFirstTenColumnsAreTaken) {
    Parsed d("|i#T#X|1#A#|2#B#|3#C#|4#D#|5#E#|6#F#|7#G#|8#H#|9#I#|0#J#|+1#K#");
    ASSERT_EQ(d.p.buttn, 10);
    EXPECT_EQ(d.label(9), "J");
    EXPECT_EQ(d.text(9), "");
    EXPECT_EQ(d.p.buttdef, -1); // the eleventh, marked column is ignored
}

TEST(ButtonDialogLanguage, EmptyAndDigitOnlySegmentsAreEmptyColumns) {
    Parsed d("|i#T#X|1#A#||5|2#B#");
    ASSERT_EQ(d.p.buttn, 4);
    EXPECT_EQ(d.label(1), "");
    EXPECT_EQ(d.p.column[1].ret, 0);
    EXPECT_EQ(d.label(2), "");
    EXPECT_EQ(d.p.column[2].ret, 5);
    EXPECT_EQ(d.label(3), "B");
    // A separator at the very end opens no further column.
    Parsed trailing("|i#T#X|1#A#|");
    EXPECT_EQ(trailing.p.buttn, 1);
}

TEST(ButtonDialogLanguage, DefaultMarkRules) {
    Parsed several("|i#T#X|+1#A#|+2#B#|3#C#");
    EXPECT_EQ(several.p.buttdef, 1);
    EXPECT_TRUE(several.p.column[0].markeddefault);

    Parsed seven("|q#T#X|1#A#|+7#Seven#above");
    EXPECT_EQ(seven.p.buttdef, 1);
    EXPECT_EQ(seven.p.column[1].ret, 7);

    // A "+" without a digit is no mark; the segment chose "+" as its field separator.
    Parsed plus("|i#T#X|+A+text");
    EXPECT_EQ(plus.p.buttdef, -1);
    EXPECT_EQ(plus.p.column[0].ret, 0);
    EXPECT_EQ(plus.label(0), "A");
    EXPECT_EQ(plus.text(0), "text");
}

TEST(ButtonDialogLanguage, EachSegmentChoosesItsFieldSeparator) {
    Parsed d("/i:Title:Text/3;Three;text a#b/#No digit#x");
    EXPECT_STREQ(d.p.title, "Title");
    EXPECT_STREQ(d.p.message, "Text");
    ASSERT_EQ(d.p.buttn, 2);
    EXPECT_EQ(d.label(0), "Three");
    EXPECT_EQ(d.text(0), "text a#b");
    EXPECT_EQ(d.p.column[0].ret, 3);
    EXPECT_EQ(d.label(1), "No digit");
    EXPECT_EQ(d.p.column[1].ret, 0);
}

TEST(ButtonDialogTimeOut, EachFull250MsAllowsOneSleep) {
    EXPECT_EQ(bd__timeoutsleeps(1000), 4);
    EXPECT_EQ(bd__timeoutsleeps(100), 0) << "below 250 ms the time-out strikes at once";
    EXPECT_EQ(bd__timeoutsleeps(249), 0);
    EXPECT_EQ(bd__timeoutsleeps(250), 1);
    EXPECT_EQ(bd__timeoutsleeps(499), 1);
    EXPECT_EQ(bd__timeoutsleeps(500), 2);
    EXPECT_EQ(bd__timeoutsleeps(90000), 360);
}

TEST(InputDialogEntry, PinFieldCountsOnlyFourOrMoreDigits) {
    bool clear = true;
    EXPECT_EQ(ce__effectivelength(120, "12", &clear), 0);
    EXPECT_FALSE(clear);
    EXPECT_EQ(ce__effectivelength(120, "1234", &clear), 4);
    EXPECT_FALSE(clear);
    EXPECT_EQ(ce__effectivelength(120, "12a4", &clear), 0);
    EXPECT_TRUE(clear);
    EXPECT_EQ(ce__effectivelength(112, "12345678", &clear), 8);
}

TEST(InputDialogEntry, PlainAndDigitOnlyFields) {
    bool clear = true;
    EXPECT_EQ(ce__effectivelength(4, "*100#", &clear), 5);
    EXPECT_FALSE(clear);
    EXPECT_EQ(ce__effectivelength(4, "", &clear), 0);
    EXPECT_EQ(ce__effectivelength(16, "1", &clear), 1);
    EXPECT_EQ(ce__effectivelength(16, " 1", &clear), 0);
    EXPECT_TRUE(clear);
    EXPECT_EQ(ce__effectivelength(64, "abc", &clear), 0);
    EXPECT_FALSE(clear);
}
