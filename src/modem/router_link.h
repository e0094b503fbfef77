// The link to a WWAN router that takes the modem's place: connection, disconnection and the
// radio service are page requests to its web interface, and bearer, network name, signal,
// connection time and traffic come from its status page. Other parts of the program ask
// cm_linkcom for values and actions and never talk to the router themselves.
#pragma once

#include <string>

// One function of the router link (see the table in router_link.cpp); z is a text argument
// or a buffer of at least 40 bytes for the network name.
long cm_linkcom(int lsfunktion, char* z);
// True as soon as the status page can be fetched (up to 10 attempts, 3 s apart).
bool cm_linksyswait();

// Pure parts.
struct cm__linkconfig {
    bool mode = false;
    std::string address; // with the trailing "/"
    std::string user;
    std::string pass;
};
// The configuration from a port text beginning with "LINKSYS".
cm__linkconfig cm__linkparseconfig(const char* z);

struct cm__linkstatus {
    int bearer = 0;                // 0 unknown, 1 GPRS, 2 UMTS
    int signal = 0;                // 0 acquiring, 8 fair, 15 good, 30 excellent, 1 anything else
    long time = 0;                 // connection minutes + 1
    long upload = 0, download = 0; // kB of the session
    char netname[40] = "";
    bool online = false;         // the page shows a connection time
    char unknownsignal[21] = ""; // the signal word when it is none of the known ones
};
// Whether a response (status line and headers included) is a successful page, and whether
// it is the router's own status page.
bool cm__linkhttpok(const char* response);
bool cm__linkstatuspage(const char* response);
// Reads the status page; sections are searched one after the other.
cm__linkstatus cm__linkparsestatus(const char* page);
