// Command words (an empty file in the working directory, or the shared record's command field)
// and the three user-defined programs of the configuration with their start marks.
#pragma once

void dateikommandoholen(bool auch_datei);

void sp_ini();
void sp_end();
bool sp_ishidden(const char* cm);
bool sp_atstart(const char* cm);
bool sp_atend(const char* cm);
bool sp_ateveryconnect(const char* cm);
// The command behind the leading marks.
const char* sp_cstart(const char* cm);
void sp_start(int idx, const char* cm);
bool sp_stop(int idx);
