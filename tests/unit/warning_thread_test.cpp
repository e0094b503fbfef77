// The warning questions: which one is due, and what each answer does.
#include "control/warning_thread.h"
#include "core/config_record.h"
#include "core/session_state.h"
#include "test_support.h"

namespace {

int answer = 1;

int fake_ask(const char*, const char*, int, int) {
    EXPECT_FALSE(inidat.constart) << "no automatic connecting while the question is open";
    return answer;
}

} // namespace

TEST(WarningChoice, OneAtATimeAndTheEndTimeOncePerWindow) {
    wa__state_t s;
    EXPECT_EQ(wa__choose(&s, true, 2, false), 1) << "the network first";
    EXPECT_EQ(wa__choose(&s, true, 2, false), 2) << "the homezone in a later pass";
    EXPECT_EQ(wa__choose(&s, true, 2, false), 0) << "each at most once per run";
    EXPECT_EQ(wa__choose(&s, false, 0, true), 3);
    EXPECT_EQ(wa__choose(&s, false, 0, true), 0) << "once per stay in the window";
    EXPECT_EQ(wa__choose(&s, false, 0, false), 0);
    EXPECT_EQ(wa__choose(&s, false, 0, true), 3) << "entered again";
}

TEST(Warnings, EndTimeCancelledByHandAllowsNoShutdown) {
    InTempDir tmp;
    fresh_record();
    inidat.round = 1; // connection log on
    inidat.constart = true;
    answer = 0;
    inidat.enduhrzeite = true;
    inidat.endshutdown = 1;
    wa__ask(3, fake_ask);
    EXPECT_EQ(unterbrechung_gewuenscht, 5);
    EXPECT_FALSE(shutdownerlaubt);
}
