// The button-dialog language and the entry rules of the input dialog, without a display.
#include "test_support.h"
#include "ui/input_dialog.h"
#include "ui/message_box.h"

#include <tuple>

namespace {

// The parse as one line: icon, title, message, default, then "digit:label:text above".
std::string parsed(const char* text) {
    std::string buf = text ? text : "";
    bd__parsed_t p;
    bd__parse(text ? buf.data() : nullptr, &p);
    const char* icon = bd__stockicon(p.type);
    std::string out = std::string(icon ? icon : "-") + "|" + p.title + "|" + p.message + "|" +
                      std::to_string(p.buttdef);
    for (int i = 0; i < p.buttn; i++)
        out += "|" + std::to_string(p.column[i].ret) + ":" + p.column[i].label + ":" +
               p.column[i].text;
    return out;
}

} // namespace

TEST(ButtonDialogLanguage, TextsOfTheProgramAndTheirEdges) {
    const std::pair<const char*, const char*> cases[] = {
        {"|q#mavlyn   Installation/Update#Choose the mode.|+1#Standard#Directory "
         "\"~/mavlyn\"\nshall be used.|2#Manuell#Chosen manually.|0#Cancel#Cancel installation",
         "gtk-dialog-question|mavlyn   Installation/Update|Choose the mode.|0"
         "|1:Standard:Directory \"~/mavlyn\"\nshall be used.|2:Manuell:Chosen manually."
         "|0:Cancel:Cancel installation"},
        {"|e#mavlyn   Connect#Connection access error.|+0#End program#Check the modem.\nThen "
         "start again.",
         "gtk-dialog-error|mavlyn   Connect|Connection access error.|0"
         "|0:End program:Check the modem.\nThen start again."},
        // Nothing, or a head only: a bare window titled "Message".
        {nullptr, "-|Message||-1"},
        {"|w", "gtk-dialog-warning|Message||-1"},
        {"|i#Only a title|1#A#", "gtk-info|Only a title||-1|1:A:"},
        {"|i#T#a#b", "gtk-info|T|a#b|-1"}, // the message is the rest of the head
        // Unknown type letters show no icon; plain digits mark no default.
        {"|Q#T#X|1#A#|2#B#", "-|T|X|-1|1:A:|2:B:"},
        // Empty and digit-only segments are columns without a button; a last "|" opens none.
        {"|i#T#X|1#A#||5|2#B#|", "gtk-info|T|X|-1|1:A:|0::|5::|2:B:"},
        // The last mark wins; a "+" without a digit is no mark but the field separator.
        {"|i#T#X|+1#A#|+2#B#|3#C#", "gtk-info|T|X|1|1:A:|2:B:|3:C:"},
        {"|i#T#X|+A+text", "gtk-info|T|X|-1|0:A:text"},
        // Every segment chooses its own field separator.
        {"/i:Title:Text/3;Three;text a#b/#No digit#x",
         "gtk-info|Title|Text|-1|3:Three:text a#b|0:No digit:x"},
        // At most ten columns; the eleventh, marked one is ignored.
        {"|i#T#X|1#A#|2#B#|3#C#|4#D#|5#E#|6#F#|7#G#|8#H#|9#I#|0#J#|+1#K#",
         "gtk-info|T|X|-1|1:A:|2:B:|3:C:|4:D:|5:E:|6:F:|7:G:|8:H:|9:I:|0:J:"},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(parsed(text), want) << (text ? text : "null");
}

TEST(InputDialogEntry, LengthAsTheButtonsSeeIt) {
    // The dialog's kind and the entry: the length the buttons see, whether the entry is cleared.
    const std::tuple<int, const char*, int, bool> cases[] = {
        {120, "12", 0, false},       {120, "1234", 4, false}, {120, "12a4", 0, true},
        {112, "12345678", 8, false}, {4, "*100#", 5, false},  {4, "", 0, false},
        {16, " 1", 0, true},         {64, "abc", 0, false},
    };
    for (const auto& [art, entry, length, clear] : cases) {
        bool cleared = !clear;
        EXPECT_EQ(ce__effectivelength(art, entry, &cleared), length) << art << entry;
        EXPECT_EQ(cleared, clear) << art << entry;
    }
}
