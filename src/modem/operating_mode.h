// The radio access technology (GPRS, UMTS, either preferred) in each maker's dialect, and
// the location information of the registration reports.
#pragma once

#include <cstddef>

// Selects operating mode ba (1 GPRS, 2 UMTS, 3 GPRS preferred, 4 UMTS preferred, 9 CONN).
// prot 0 silent; 1 show and log the choice; 2 also report a failure.
bool de_iniopmode(int ba, int prot);
// Switches on the location information once per start of the main sequence.
void de_cellidqueryini();

// The mode command of a device, "" when it has none (the router is not a device here).
// domain2: the Huawei service domain includes circuit switching (calls or SMS are watched).
void de__opmodecommand(char* out, size_t n, int ba, int device, bool domain2);
// The status text of a mode (long form, German or English) and its mini text; with
// nopreference the preferred modes read "UMTS and GPRS".
const char* de__opmodetext(int ba, bool nopreference, bool de);
const char* de__opmodemini(int ba, bool nopreference);
