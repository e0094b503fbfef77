// Small network functions used while connected: a plain HTTP GET client, a reachability
// probe through the system's ping, a DNS probe, the pseudo addresses "999.N" with which the
// user's probe list pauses the probing, and opening a page in the web browser.
#pragma once

#include "core/program_services.h"

#include <cstddef>
#include <string>

extern bool iz__dnsneu;   // the next probe resets the pause counter
extern bool cn_dnsbremse; // the last probe was a pause: the probe cursor stays
extern bool iz_kdfehler;  // the compression switch-off failed

void iz_ini();
void iz_end();

// Opens the page in the web browser, in the background.
void iz_httpbrowse(const char* url);
// True when one ping to ip got its answer.
bool iz_ping(const char* ip, int waittime);
// One probe of an address of the user's probe list.
bool iz_dnsecho(const char* ip, bool waitforanswer);
// True for a pseudo address: "999." followed by a digit.
bool iz_ipok(const char* ip);
// Standard Base64 in place; t must hold 4/3 of its text plus 4 bytes.
void iz__base64(char* t);

// Pure parts.
#define iz__MAXBYTES 300000
// The time-out in milliseconds for iz_httpget's timeout argument.
int iz__timeoutms(int timeout);
// Splits "http://host[:port]/path" (at most 260 characters); false without a host.
bool iz__splitUrl(const char* url, std::string* host, int* port, std::string* path);
// The request text, with basic authentication when user and pass are given.
std::string iz__request(const std::string& host, const std::string& path, const char* user,
                        const char* pass);
// The address behind the first <frame src="http://...">, or "" without a frame.
std::string iz__frameaddress(const char* body);
// The random host name of the DNS probe for the given random source.
std::string iz__randomhost(unsigned (*next)());
// The ping wait in whole seconds.
int iz__pingseconds(int waittime);
// Whether an address may be handed to ping: letters, digits, '_', '-' and '.' only.
bool iz__addressok(const char* ip);
// The number N of a pseudo address "999.N"; out of range values other than 111 give 0.
int iz__pausenumber(const char* ip);
