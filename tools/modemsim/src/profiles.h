// Maker profiles: what the simulated device says about itself, which vendor commands it
// knows, and which ports it publishes.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace modemsim {

enum class PortKind { At, Diag };

// How +CREG/+CGREG report location area and cell id with n=2.
enum class RegFormat {
    Quoted, // +CGREG: 2,1,"1A2B","00C3D4E5"
    Spaced, // +CGREG: 2, 1, "1A2B", "00C3D4E5"
    Hex,    // +CREG: 2,1,1a2b,c3d4e5
};

// Vendor command families, as bit flags.
enum Feature : unsigned {
    kOpsys = 1u << 0,      // Option AT_OPSYS, AT_OSSYS, AT_OERCN
    kNwrat = 1u << 1,      // Novatel AT$NWRAT
    kSyscfg = 1u << 2,     // Huawei AT^SYSCFG, AT^CPIN
    kZte = 1u << 3,        // ZTE AT+ZSNT, AT+ZPAS
    kSelrat = 1u << 4,     // Sierra AT!SELRAT
    kCfunRat = 1u << 5,    // Ericsson AT+CFUN=5/6 selects the radio
    kCind = 1u << 6,       // AT+CIND with battery and signal indicators
    kBattery = 1u << 7,    // AT+CBC
    kNewNovatel = 1u << 8, // Novatel U730 and newer: silent to the binary probe
};
// Sierra's AT!CPINC (PIN and PUK attempts) comes with its AT!SELRAT.

// The unsolicited lines a maker's device sends on its own, now and then.
enum class Chatter {
    None,
    Huawei,   // ^RSSI, ^BOOT, ^MODE
    Zte,      // +ZUSIMR, +ZPASR
    Option,   // _OSIGQ
    Ericsson, // *EMRDY once after power-on
};

struct Profile {
    std::string_view name;
    std::string_view manufacturer; // +CGMI
    std::string_view model;        // +CGMM
    std::string_view revision;     // +CGMR
    std::string_view ati;          // ATI text; "{imei}" is replaced by the IMEI
    unsigned features;
    RegFormat reg_format;
    std::vector<PortKind> ports;
    int sim_start_ms;      // the SIM answers "busy" this long after power-on and reset
    std::string_view cscs; // terminal character set at power-on (AT+CSCS)
    Chatter chatter;
};

const Profile* find_profile(std::string_view name);
std::span<const Profile> all_profiles();

} // namespace modemsim
