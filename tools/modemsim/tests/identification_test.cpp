#include "sim_fixture.h"

#include <algorithm>
#include <cctype>

using namespace modemsim;
using namespace modemsim::test;

namespace {

// The host classifies the upper-cased ATI answer by these words, first match wins.
int classify(std::string ati) {
    std::transform(ati.begin(), ati.end(), ati.begin(), ::toupper);
    static const std::pair<const char*, int> kWords[] = {{"HUAWEI", 3},
                                                         {"NOVATEL", 2},
                                                         {"DELL", 2},
                                                         {"OPTION", 1},
                                                         {"GLOBETROTTER", 1},
                                                         {"FUSION", 1},
                                                         {"SONY", 11},
                                                         {"LG ELECTRONICS", 12},
                                                         {"APP3", 4},
                                                         {"SIERRA", 4},
                                                         {"F3507", 5},
                                                         {"D5530", 5},
                                                         {"QUALCOMM INCORPORATED", 6},
                                                         {"SAMSUNG ELECTRONICS", 7},
                                                         {"ZTE INCORPORATED", 8}};
    for (auto& [word, device] : kWords)
        if (ati.find(word) != std::string::npos) return device;
    return 0;
}

} // namespace

TEST(Identification, EachProfileIsRecognisedAsItsMaker) {
    const std::pair<const char*, int> expected[] = {
        {"option", 1}, {"novatel", 2},  {"novatel-u630", 2}, {"huawei", 3},
        {"sierra", 4}, {"ericsson", 5}, {"qualcomm", 6},     {"samsung", 7},
        {"zte", 8},    {"sony", 11},    {"lg", 12}};
    for (auto& [profile, device] : expected) {
        Sim sim(profile);
        std::string answer = sim.at("ATI");
        EXPECT_TRUE(answer.ends_with(kOk)) << profile;
        EXPECT_EQ(classify(answer), device) << profile << ": " << answer;
    }
}

TEST(Identification, NovatelModelsDifferInTheU630Marker) {
    Sim old_model("novatel-u630"), new_model("novatel");
    EXPECT_NE(old_model.at("ATI").find(" U630"), std::string::npos);
    std::string ati = new_model.at("ATI");
    EXPECT_EQ(ati.find(" U630"), std::string::npos);
    EXPECT_EQ(ati.find(" U530"), std::string::npos);
}

TEST(Identification, StandardQueriesAnswerMakerModelAndImei) {
    Sim sim("huawei");
    sim.state().imei = "351234567890123";
    EXPECT_EQ(sim.at("AT+CGMI"), ok("huawei"));
    EXPECT_EQ(sim.at("AT+CGMM"), ok("E220"));
    EXPECT_EQ(sim.at("AT+CGSN"), ok("351234567890123"));
    EXPECT_EQ(sim.at("AT+CIMI"), ok("262021234567890"));
    EXPECT_NE(sim.at("ATI").find("IMEI: 351234567890123"), std::string::npos);
}

TEST(Identification, VendorCommandsExistOnlyOnTheirMaker) {
    struct Case {
        const char* command;
        const char* owner;
    };
    const Case cases[] = {{"AT_OPSYS=3,2", "option"},
                          {"AT$NWRAT=1,2", "novatel"},
                          {"AT^SYSCFG=2,2,3FFFFFFF,1,2", "huawei"},
                          {"AT+ZSNT=1,0,0", "zte"},
                          {"AT!SELRAT=02", "sierra"},
                          {"AT+CFUN=5", "ericsson"}};
    for (const auto& c : cases) {
        for (const auto& p : all_profiles()) {
            Sim sim(p.name);
            bool owner = p.name == c.owner ||
                         (std::string_view(c.owner) == "novatel" && p.name == "novatel-u630");
            EXPECT_EQ(sim.at(c.command), owner ? kOk : kError) << c.command << " on " << p.name;
        }
    }
}

TEST(Identification, UnknownCommandsAnswerError) {
    Sim sim;
    EXPECT_EQ(sim.at("AT+XYZZY"), kError);
    EXPECT_EQ(sim.at("AT+CSQ?"), kError);
    EXPECT_EQ(sim.at("ATY"), kError);
}
