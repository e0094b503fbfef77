// Scenario files (key=value lines read at start) and the control commands that change the
// simulated device while it runs.
#pragma once

#include "modem.h"

#include <string>
#include <string_view>
#include <vector>

namespace modemsim {

struct Setting {
    int line = 0;
    std::string key;
    std::string value;
};

// Splits scenario text into settings; blank lines and lines starting with '#' are skipped.
// Lines without '=' are reported in `errors` as "line N: ...".
std::vector<Setting> parse_scenario(std::string_view text, std::vector<std::string>& errors);

// Applies one setting; returns an error text, empty on success. The first "network", "sms"
// or "ussd" of a scenario replaces the defaults when `fresh_lists` is set.
struct ApplyContext {
    bool fresh_lists = false;
    bool scan_replaced = false;
};
std::string apply_setting(ModemState& state, const Setting& setting, ApplyContext& ctx);

// Applies a setting through the running modem, so that registration changes are announced.
std::string apply_live_setting(Modem& modem, const Setting& setting);

struct ControlResult {
    std::string reply; // "OK ..." or "ERROR ..."
    bool quit = false;
};
ControlResult run_control(Modem& modem, std::string_view line, std::int64_t now_ms);

// "\r", "\n", "\t", "\\" and "\xHH" in control texts.
std::string unescape(std::string_view s);

} // namespace modemsim
