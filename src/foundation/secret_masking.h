// Secrets never reach a log in clear: every line the log writers put into a file passes
// through lo_masksecrets first, whichever part of the program wrote it.
#pragma once

#include <string>

// The text with its secrets replaced:
// - the value of a PIN, PUK, PASS or PASSWORD setting ("PIN=1234", "pin = 4321", also inside
//   a longer line) up to the line end, by "xxxx"; a PIN or PUK value of at most two
//   characters is a placeholder and stays;
// - the parameters of AT+CPIN (also ^CPIN, +CPIN2), the password of AT+CLCK and the old and
//   new password of AT+CPWD, up to the line end, by "xxxx";
// - the router's password in "COM=LINKSYS [address] [user [password]]", by "xxxx";
// - the IMEI and IMSI: the digits behind "IMEI", "IMSI", "+CGSN" and "+CIMI" (at most four
//   blanks or punctuation between), and every run of 14 or more digits standing alone (the bare
//   answers of AT+CGSN and AT+CIMI, an ICCID, a voucher code), digit by digit by 'x'. A
//   number behind '+' is a telephone number and stays.
std::string lo_masksecrets(const char* text);
