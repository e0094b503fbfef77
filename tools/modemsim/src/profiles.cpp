#include "profiles.h"

#include <algorithm>
#include <array>

namespace modemsim {

namespace {

using enum PortKind;

const std::array<Profile, 12> kProfiles = {{
    {"option",
     "Option N.V.",
     "GlobeTrotter HSDPA Modem",
     "2.8.0Hd",
     "Manufacturer: Option N.V.\r\nModel: GlobeTrotter HSDPA Modem\r\nRevision: 2.8.0Hd (Date: "
     "Jun 07 2007, Time: 09:37:21)",
     kOpsys,
     RegFormat::Quoted,
     {At, At, At},
     5000,
     "GSM",
     Chatter::Option},
    {"novatel",
     "Novatel Wireless Incorporated",
     "Merlin U740",
     "10.10.11.01-00",
     "Manufacturer: Novatel Wireless Incorporated\r\nModel: Merlin U740 (HW REV 0x0004)\r\n"
     "Revision: 10.10.11.01-00 [2007-01-12 14:12:28]\r\nIMEI: {imei}",
     kNwrat | kNewNovatel,
     RegFormat::Quoted,
     {At, Diag},
     3000,
     "PCCP437",
     Chatter::None},
    {"novatel-u630",
     "Novatel Wireless Incorporated",
     "Merlin U630",
     "1.04",
     "Manufacturer: Novatel Wireless Incorporated\r\nModel: Merlin U630 (HW REV 0x0002)\r\n"
     "Revision: 1.04\r\nIMEI: {imei}",
     kNwrat,
     RegFormat::Quoted,
     {At, Diag},
     3000,
     "PCCP437",
     Chatter::None},
    {"huawei",
     "huawei",
     "E220",
     "11.117.09.04.00",
     "Manufacturer: huawei\r\nModel: E220\r\nRevision: 11.117.09.04.00\r\nIMEI: {imei}\r\n"
     "+GCAP: +CGSM,+DS,+ES",
     kSyscfg,
     RegFormat::Quoted,
     {At, At, At},
     3000,
     "IRA",
     Chatter::Huawei},
    {"sierra",
     "Sierra Wireless, Incorporated",
     "MC8775",
     "H1_0_0_7MCAP",
     "Manufacturer: Sierra Wireless, Incorporated\r\nModel: MC8775\r\nRevision: H1_0_0_7MCAP "
     "G:/WS/FW/H1_0_0_7MCAP/MSM6280/SRC 2007/08/23 10:21:46\r\nIMEI: {imei}\r\n"
     "+GCAP: +CGSM,+DS",
     kSelrat,
     RegFormat::Spaced,
     {At, At, At},
     3000,
     "IRA",
     Chatter::None},
    {"ericsson",
     "Ericsson",
     "F3507g",
     "R1A029",
     "Ericsson\r\nF3507g Mobile Broadband Minicard Composite Device\r\nR1A029",
     kCfunRat | kCind,
     RegFormat::Quoted,
     {At, At, At},
     6000,
     "GSM",
     Chatter::Ericsson},
    {"qualcomm",
     "QUALCOMM INCORPORATED",
     "QSC6270",
     "M6270B-SCAUYOLZ-1.0.05",
     "Manufacturer: QUALCOMM INCORPORATED\r\nModel: QSC6270\r\nRevision: M6270B-SCAUYOLZ-1.0.05"
     "  1  [Mar 13 2009 11:00:00]\r\nIMEI: {imei}\r\n+GCAP: +CGSM,+DS,+ES",
     0,
     RegFormat::Spaced,
     {At},
     2000,
     "IRA",
     Chatter::None},
    {"samsung",
     "SAMSUNG ELECTRONICS CO., LTD.",
     "SGH-Z720",
     "Z720XXGJ1",
     "SAMSUNG ELECTRONICS CO., LTD.\r\nSGH-Z720\r\nZ720XXGJ1",
     kBattery | kCind,
     RegFormat::Quoted,
     {At},
     0,
     "IRA",
     Chatter::None},
    {"zte",
     "ZTE INCORPORATED",
     "MF622",
     "BD_MF622V1.0.0B05",
     "Manufacturer: ZTE INCORPORATED\r\nModel: MF622\r\nRevision: BD_MF622V1.0.0B05\r\n"
     "IMEI: {imei}\r\n+GCAP: +CGSM,+DS,+ES",
     kZte,
     RegFormat::Hex,
     {At, At, At, At},
     4000,
     "IRA",
     Chatter::Zte},
    {"sony",
     "Sony Ericsson",
     "K800i",
     "R8BE001",
     "Sony Ericsson\r\nK800i\r\nR8BE001 prgCXC1250321_EU_1_DE 1.0",
     kBattery | kCind,
     RegFormat::Quoted,
     {At, At},
     0,
     "GSM",
     Chatter::None},
    {"lg",
     "LG Electronics Inc.",
     "KU800",
     "V10a",
     "LG Electronics Inc.\r\nKU800\r\nV10a",
     kBattery | kCind,
     RegFormat::Hex,
     {At},
     0,
     "IRA",
     Chatter::None},
    {"generic",
     "Generic",
     "GSM Modem",
     "1.0",
     "GSM Modem",
     0,
     RegFormat::Quoted,
     {At, At},
     0,
     "IRA",
     Chatter::None},
}};

} // namespace

const Profile* find_profile(std::string_view name) {
    auto it = std::find_if(kProfiles.begin(), kProfiles.end(),
                           [&](const Profile& p) { return p.name == name; });
    return it == kProfiles.end() ? nullptr : &*it;
}

std::span<const Profile> all_profiles() {
    return kProfiles;
}

} // namespace modemsim
