// The provider list from the wiki and the update query (download: the GUI tests).
#include "ui/standard_settings.h"

#include "test_support.h"

static std::string revision(const char* cls, const char* link, const char* user) {
    return std::string("<li") + cls + "><a href=\"" + link +
           "\" title=\"Vorlage:Settings List\">12:00, 1. Dez. 2026</a> <span "
           "class='history-user'><a href=\"/wiki/index.php/Benutzer:" +
           user + "\" title=\"Benutzer:" + user + "\">" + user + "</a></span></li>\n";
}

static std::string history(const std::vector<std::string>& revisions) {
    std::string page = "<html><body><ul id=\"pagehistory\">\n";
    for (const auto& r : revisions) page += r;
    return page + "</ul></body></html>\n";
}

const char* const oldid3 = "/wiki/index.php?title=Vorlage:Settings_List&amp;oldid=3";

static std::string entries_text(const std::string& file) {
    std::string out;
    for (const auto& e : se__entries(file.data(), file.size()))
        out += (e.kind == se__PROVIDER ? "P:" : "F:") + e.text + "\n";
    return out;
}

static std::string field(const std::string& file, const char* name) {
    auto list = se__entries(file.data(), file.size());
    std::string v;
    if (list.empty() || !se__field(file.data(), file.size(), list[0].line, name, &v))
        return "<absent>";
    return v;
}

TEST(StandardSettingsRevision, NewestTrustedEditorOfTheWikisOwnPagesOnly) {
    const std::string newest = "/wiki/index.php?title=Vorlage:Settings_List&oldid=3&action=edit";
    const std::pair<std::string, std::string> cases[] = {
        {history(
             {revision("", "/wiki/index.php?title=Vorlage:Settings_List&amp;oldid=9", "Spammer"),
              revision(" class=\"selected\"", "/wiki/index.php?title=X&amp;oldid=8", "Wilva"),
              revision("", oldid3, "wilVAR"),
              revision("", "/wiki/index.php?title=X&amp;oldid=1", "Mavlyn")}),
         newest},
        {history({revision("", oldid3, "Mallory")}), ""},
        {history({"<p>" + revision("", oldid3, "Wilvar")}), ""}, // not a list item
        {history({revision("", "http://elsewhere.invalid/x", "Wilvar")}), ""},
    };
    for (const auto& [page, address] : cases) EXPECT_EQ(se__revisionaddress(page.c_str()), address);
    EXPECT_EQ(se__revisionaddress(nullptr), "");
    for (const char* name : {"Wilva", "Wilvar2", ""}) EXPECT_FALSE(se__trusted(name)) << name;
    EXPECT_TRUE(se__trusted("FUNKMEISTER"));
}

TEST(StandardSettingsEditBox, FoundByIdOrByTheIdShortlyBehindTheTag) {
    const std::pair<std::string, const char*> cases[] = {
        {"<textarea id=\"wpTextbox1\" rows=\"5\">==A==\n</textarea>", "==A==\n"},
        {"<form><textarea tabindex=\"1\" accesskey=\",\" id=\"wpTextbox1\" cols=\"80\" "
         "rows=\"25\">x &lt;y&gt;</textarea></form>",
         "x &lt;y&gt;"},
        {"<textarea " + std::string(120, ' ') + " id=\"wpTextbox1\">x</textarea>", nullptr},
        {"<textarea id=\"wpTextbox1\">never closed", nullptr},
        {"<textarea id=\"other\">x</textarea>", nullptr}};
    for (const auto& [page, text] : cases) {
        std::string t;
        EXPECT_EQ(se__editboxtext(page.c_str(), &t), text != nullptr) << page;
        EXPECT_TRUE(!text || t == text) << page;
    }
}

TEST(StandardSettingsFile, HeadBodyConversionsAndEnd) {
    std::string f = se__settingsfile("==D\xC3\xA4nemark==\nA&amp;B &lt;x&gt; &amp;lt;\r\n"
                                     "\xC3\x9F\xC3\xB1\xC4\x83\xC3\xA9\rEnd");
    EXPECT_EQ(f, "mavlyn Standard Settings   AAA00007\r\n\r\n"
                 "==D\xE4nemark==\r\nA&B <x> &lt;\r\n\xDF\xF1\xE3\xC3\xA9\r\nEnd\r\n*****");
}

TEST(StandardSettingsHttp, BodyOfPlainChunkedAndHeadlessAnswers) {
    EXPECT_EQ(se__httpbody("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"), "ok");
    EXPECT_EQ(se__httpbody("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                           "4\r\nWiki\r\n5;x=y\r\n page\r\n0\r\n\r\n"),
              "Wiki page");
    // A chunk announced longer than what arrived keeps what arrived.
    EXPECT_EQ(se__httpbody("HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\n\r\nff\r\nabc"),
              "abc");
    EXPECT_EQ(se__httpbody("no head at all"), "no head at all");
    EXPECT_EQ(se__httpbody("HTTP/1.1 200 OK\r\nbroken head"), "");
}

TEST(StandardSettingsVersion, PublishedNumber) {
    const std::pair<const char*, long> cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX: y\r\n\r\nmavlyn  402\n", 402},
        {"mavlyn  401", 401},
        {"mavlyn 401", -1},   // one blank only
        {"mavlyn  v401", -1}, // no digits
        {"<html>404</html>", -1},
        {"mavlyn  99999999999999999999", 999999999},
    };
    for (const auto& [answer, version] : cases) EXPECT_EQ(se__publishedversion(answer), version);
}

TEST(StandardSettingsList, HeadingsProvidersAndFurtherEntries) {
    std::string f =
        se__settingsfile("{{Settings|PROVIDER=Early}}\n"
                         "== Deutschland  ==\n"
                         "{{Settings|PROVIDER=T-Mobile|PLMN=26201|APN=internet.t-d1.de}}\n"
                         "{{Settings|PLMN=26202}}\n"
                         "|||Vodafone Prepaid|x=1\n"
                         "|||x\n"
                         "===Österreich===\n"
                         " {{Settings|PROVIDER=not at line start}}\n"
                         "{{Settings|PROVIDER=A1}}\n");
    EXPECT_EQ(entries_text(f), "P:?   Early\n"
                               "P:Deutschland   T-Mobile\n"
                               "P:Deutschland   ?\n"
                               "F:Vodafone Prepaid\n"
                               "F:??\n"
                               "P:\xD6sterreich   A1\n");
    const std::string name(150, 'n'), cut(100, 'n');
    EXPECT_EQ(entries_text("|||" + name + "\n==" + name + "\n{{Settings|}}"),
              "F:" + cut + "\nP:" + cut + "   ?\n");
}

TEST(StandardSettingsList, FieldValuesNowikiAndLineBounds) {
    std::string f = "{{Settings|PROVIDER=X|PLMN=;26203|PPQ=<nowiki>*100#</nowiki>"
                    "|PPC=<nowiki>*1|2#</nowiki>|HOMU=<nowiki></nowiki>|SMSC=+49}}\n|APN=next";
    EXPECT_EQ(field(f, "PPC"), "<nowiki>*1"); // cut at its "|", the tag stays
    EXPECT_EQ(field(f, "HOMU"), "<nowiki></nowiki>");
    EXPECT_EQ(field(f, "SMSC"), "+49");
    EXPECT_EQ(field(f, "APN"), "<absent>"); // on the next line
    EXPECT_EQ(field(f, "HOMI"), "<absent>");
}
