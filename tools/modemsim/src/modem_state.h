// Everything the simulated device remembers across ports: SIM, network, radio, SMS storage,
// USSD answers. Scenario files and control commands edit it directly.
#pragma once

#include "profiles.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace modemsim {

enum class SimState { Ready, Pin, Puk, Blocked, Absent, PhNetPin, Pin2 };

struct Operator {
    int status = 1; // +COPS=? status: 0 unknown, 1 available, 2 current, 3 forbidden
    std::string numeric;
    std::string long_name;
    std::string short_name;
    int act = 2; // 27.007 access technology: 0 GSM, 2 UTRAN, 3 EDGE, 4..6 HSPA, 7 LTE
};

struct StoredSms {
    int stat = 0; // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
    std::string pdu;
};

enum class UssdInput { Plain, Packed };
enum class UssdForm { Plain, Ucs2, Gsm7 };
enum class DialResult { Connect, NoCarrier, Busy, NoAnswer, Error };
enum class CmgsMode { Ok, Error, Reject };

struct ModemState {
    const Profile* profile = nullptr;
    std::string imei = "353456789012345";
    std::string imsi = "262021234567890";
    int cmee = 0;
    bool default_echo = true;

    // SIM
    SimState sim = SimState::Ready;
    SimState sim_initial = SimState::Ready; // what a reset (AT+CFUN=1,1) returns to
    std::string pin = "1234";
    std::string puk = "12345678";
    int pin_left = 3;
    int puk_left = 10;
    int sim_busy = 0;            // this many SIM queries are answered "SIM busy" first
    int sim_start_ms = -1;       // the SIM is busy this long after power-on; -1: the profile's
    bool sim_starting = false;   // the SIM is still starting up
    std::set<std::string> locks; // facility codes reported locked by AT+CLCK=..,2

    // Network
    int creg = 1;  // circuit registration status
    int cgreg = 1; // packet registration status
    int creg_n = 0;
    int cgreg_n = 0;
    std::string lac = "1A2B";
    std::string cell = "00C3D4E5";
    std::optional<RegFormat> reg_format; // unset: the profile's
    Operator current{2, "26202", "Vodafone.de", "Vodafone", 2};
    std::vector<Operator> scan;
    int cops_mode = 0;
    int cops_format = 0;
    int rssi = 20;
    int ber = 99;
    bool csq_unknown = false;                   // +CSQ answers 99, the signal only shows in +CIND
    std::optional<std::pair<int, int>> battery; // unset: only phones answer +CBC
    int cfun = 1;
    bool attached = true;
    std::map<int, std::pair<std::string, std::string>> contexts; // cid -> type, APN

    // Radio selection, per vendor
    int opsys_mode = 3, opsys_domain = 2, ossys = 0;
    int nwrat_mode = 0, nwrat_domain = 2;
    int syscfg_mode = 2, syscfg_order = 0, syscfg_roam = 1, syscfg_domain = 2;
    std::string syscfg_band = "3FFFFFFF";
    int zsnt_mode = 0, zsnt_sel = 0, zsnt_pref = 0;
    int selrat = 0;
    int rat_limit = 0; // 0 any, 1 GSM only, 2 UMTS only: set by the vendor mode commands

    // Calls and data
    DialResult dial = DialResult::Connect;
    bool clip = false;
    int guard_ms = 1000;
    int urc_port = -1; // -1: every AT port in command mode

    // SMS
    int cmgf = 0;
    int cnmi_mt = 0;
    std::string smsc = "+491710760000";
    std::vector<std::optional<StoredSms>> sms; // slots; size is the capacity
    int sms_index_base = 1;
    std::set<std::string> cpms_supported = {"SM", "ME", "MT"};
    std::string cpms_mem[3] = {"ME", "ME", "ME"};
    int cpms_busy = 0; // this many AT+CPMS= settings fail with +CMS ERROR: 500
    CmgsMode cmgs = CmgsMode::Ok;
    int msg_ref = 0;
    std::vector<std::string> sent_pdus;

    // USSD
    std::map<std::string, std::string> ussd; // code -> answer text
    UssdInput ussd_input = UssdInput::Plain;
    UssdForm ussd_form = UssdForm::Plain;
    int ussd_delay_ms = 0;

    int scan_delay_ms = 0;
    int diag_empty_fetches = 0; // fetches answered "not yet" before the answer

    // The device as the makers build it: answers in pieces and late, unsolicited lines of its
    // own, a SIM that takes its time to start. Off for tests that compare bytes.
    bool realism = true;
    std::string cscs; // terminal character set; "" the profile's

    ModemState();
    RegFormat effective_reg_format() const;
    int effective_sim_start_ms() const;
    std::string effective_cscs() const;
    unsigned extra_features = 0; // vendor commands added by the scenario
    bool has(unsigned feature) const {
        return ((profile ? profile->features : 0u) | extra_features) & feature;
    }
    bool registered() const;
    int effective_act() const;              // the access technology in use under the radio limit
    int sms_slot_of_index(int index) const; // -1 when out of range
    int free_sms_slot() const;              // -1 when full
    int sms_used() const;
};

} // namespace modemsim
