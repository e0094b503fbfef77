// The panel icons' pictures as text, one character per pixel, rows of 22 characters laid
// end to end (colours by character: see ic__colour in panel_icons.cpp).
#include "ui/icon_art.h"

// Main icon, rows 0-12: a ball, red above, blue below, split by a black line running out to
// the right.
const char* const ic__art_ball = "    xxx               "
                                 "  xxrrrxx             "
                                 " xrrrrrrrx            "
                                 " xrrrrrrrx            "
                                 "xrrrrrrrrrx           "
                                 "xrrrrrrrrrx           "
                                 "xxxxxxxxxxxxxxxxxxxxx "
                                 "          xbbbbbbbbbx "
                                 "          xbbbbbbbbbx "
                                 "           xbbbbbbbx  "
                                 "           xbbbbbbbx  "
                                 "            xxbbbxx   "
                                 "              xxx     ";

// Main icon, rows 13-21: the state symbols, in the symbol colour.
const char* const ic__art_notconnected = "                      "
                                         "                      "
                                         "                      "
                                         "                      "
                                         " ########    ######## "
                                         " ########    ######## "
                                         "                      "
                                         "                      "
                                         "                      ";
const char* const ic__art_searching = "        #####         "
                                      "       ##   ##        "
                                      "            ##        "
                                      "           ##         "
                                      "          ##          "
                                      "          ##          "
                                      "                      "
                                      "          ##          "
                                      "          ##          ";
const char* const ic__art_connecting = "                      "
                                       "     #          #     "
                                       "     ##        ##     "
                                       "#######        #######"
                                       "########      ########"
                                       "#######        #######"
                                       "     ##        ##     "
                                       "     #          #     "
                                       "                      ";
const char* const ic__art_terminating = "          ##          "
                                        "   #      ##      #   "
                                        "  ##      ##      ##  "
                                        " #######  ##  ####### "
                                        "########  ##  ########"
                                        " #######  ##  ####### "
                                        "  ##      ##      ##  "
                                        "   #      ##      #   "
                                        "          ##          ";

// Mode letters, 8 x 10 for the standard icon and 6 x 6 for the digit icon.
const char* const ic__letter8[4][10] = {
    {"  xxxxx ", " xx   xx", "xx      ", "xx      ", "xx  xxxx", "xx    xx", "xx    xx", "xx    xx",
     " xx   xx", "  xxxxx "},
    {"xx    xx", "xx    xx", "xx    xx", "xx    xx", "xx    xx", "xx    xx", "xx    xx", "xx    xx",
     " xx  xx ", "  xxxx  "},
    {"xxxxxxxx", "xx      ", "xx      ", "xx      ", "xxxxxxx ", "xx      ", "xx      ", "xx      ",
     "xx      ", "xxxxxxxx"},
    {"xx    xx", "xx    xx", "xx    xx", "xx    xx", "xxxxxxxx", "xxxxxxxx", "xx    xx", "xx    xx",
     "xx    xx", "xx    xx"},
};
const char* const ic__letter6[4][6] = {
    {" xxxx ", "xx    ", "xx xxx", "xx  xx", "xx  xx", " xxxx "},
    {"xx  xx", "xx  xx", "xx  xx", "xx  xx", "xx  xx", " xxxx "},
    {"xxxxxx", "xx    ", "xxxxx ", "xx    ", "xx    ", "xxxxxx"},
    {"xx  xx", "xx  xx", "xxxxxx", "xxxxxx", "xx  xx", "xx  xx"},
};

// Countdown extras at the right of the clock's lower half (rows 8-13, columns 15-21): a small
// and a large Z for "no traffic", two opposed arrows for "no connection".
const char* const ic__glyph_sleep[6] = {"   ####", "     # ", "    #  ",
                                        "#######", " #     ", "###    "};
const char* const ic__glyph_noconnection[6] = {"    #  ", "#######", "    #  ",
                                               "  #    ", "#######", "  #    "};

// Battery, rows 0-12: dots above the upper end of the battery, on grey.
const char* const ic__art_batterytop = "//////////////////////"
                                       "//x//x//x//x//x//x//x/"
                                       "//////////////////////"
                                       "///x//x//x//x//x//x///"
                                       "//////////////////////"
                                       "//////////////////////"
                                       "//////////////////////"
                                       "//////////////////////"
                                       "//////////////////////"
                                       "//////////////////////"
                                       "////////xxxxxx////////"
                                       "////////x////x////////"
                                       "////xxxxxxxxxxxxxx////";

// Warning: a round sign, dark yellow with a black exclamation mark.
const char* const ic__art_warning = "          xx          "
                                    "      xxxxxxxxxx      "
                                    "     xx--------xx     "
                                    "    x------------x    "
                                    "   x------xx------x   "
                                    "  x-------xx-------x  "
                                    " xx-------xx-------xx "
                                    " x--------xx--------x "
                                    " x--------xx--------x "
                                    " x--------xx--------x "
                                    "xx--------xx--------xx"
                                    "xx--------xx--------xx"
                                    " x--------xx--------x "
                                    " x--------xx--------x "
                                    " x------------------x "
                                    " xx----------------xx "
                                    "  x-------xx-------x  "
                                    "   x------xx------x   "
                                    "    x------------x    "
                                    "     xx--------xx     "
                                    "      xxxxxxxxxx      "
                                    "          xx          ";

// Homezone: "H?" in white (status unknown), a green "H" (inside), a white "H" struck
// through by a red band (outside).
const char* const ic__art_hzunknown = "                      "
                                      "                      "
                                      "                      "
                                      " xxxx  xxxx           "
                                      " xwwx  xwwx xxxxxx    "
                                      " xwwx  xwwxxxwwwwxx   "
                                      " xwwx  xwwxxwwxxwwx   "
                                      " xwwx  xwwxxxxxxwwx   "
                                      " xwwx  xwwx  xxwwxx   "
                                      " xwwxxxxwwx  xwwxx    "
                                      " xwwwwwwwwx  xwwx     "
                                      " xwwwwwwwwx  xwwx     "
                                      " xwwxxxxwwx  xxxx     "
                                      " xwwx  xwwx  xwwx     "
                                      " xwwx  xwwx  xwwx     "
                                      " xwwx  xwwx  xxxx     "
                                      " xwwx  xwwx           "
                                      " xwwx  xwwx           "
                                      " xxxx  xxxx           "
                                      "                      "
                                      "                      "
                                      "                      ";

const char* const ic__art_hzinside = "                      "
                                     "                      "
                                     "    xxxx      xxxx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggxxxxxxxxggx    "
                                     "    xggggggggggggx    "
                                     "    xggggggggggggx    "
                                     "    xggxxxxxxxxggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xggx      xggx    "
                                     "    xxxx      xxxx    "
                                     "                      "
                                     "                      ";

const char* const ic__art_hzoutside = "                    rr"
                                      "                   rrr"
                                      "    xxxx      xxxxrrr "
                                      "    xwwx      xwwrrr  "
                                      "    xwwx      xwrrr   "
                                      "    xwwx      xrrr    "
                                      "    xwwx      rrrx    "
                                      "    xwwx     rrrwx    "
                                      "    xwwx    rrrwwx    "
                                      "    xwwxxxxrrrxwwx    "
                                      "    xwwwwwrrrwwwwx    "
                                      "    xwwwwrrrwwwwwx    "
                                      "    xwwxrrrxxxxwwx    "
                                      "    xwwrrr    xwwx    "
                                      "    xwrrr     xwwx    "
                                      "    xrrr      xwwx    "
                                      "    rrrx      xwwx    "
                                      "   rrrwx      xwwx    "
                                      "  rrrwwx      xwwx    "
                                      " rrrxxxx      xxxx    "
                                      "rrr                   "
                                      "rr                    ";

// Countdown: the clock, rows 0-7 and 8-13.
const char* const ic__art_clocktop = "     xxxx             "
                                     "   xxx  xxx           "
                                     "  xx      xx          "
                                     " xx   xx   xx         "
                                     " x    xx    x         "
                                     "xx    xx    xx        "
                                     "x     xxxxx  x        "
                                     "x      xxxx  x        ";

const char* const ic__art_clockbottom = "xx          xx        "
                                        " x          x         "
                                        " xx        xx         "
                                        "  xx      xx          "
                                        "   xxx  xxx           "
                                        "     xxxx             ";

// Battery body, rows 13-21: seven rows of filling between the outline, for the two levels.
const char* const ic__art_batterylow = "////xyyyyyyyyyyyyx////"
                                       "////xyyyyyyyyyyyyx////"
                                       "////xyyyyyyyyyyyyx////"
                                       "////xyyyyyyyyyyyyx////"
                                       "////xyyyyyyyyyyyyx////"
                                       "////xyyyyyyyyyyyyx////"
                                       "////xyyyyyyyyyyyyx////"
                                       "////xxxxxxxxxxxxxx////"
                                       "//////////////////////";
const char* const ic__art_batteryempty = "////xxxxxxxxxxxxxx////"
                                         "////xxxxxxxxxxxxxx////"
                                         "////xxxxxxxxxxxxxx////"
                                         "////xrrrrrrrrrrrrx////"
                                         "////xrrrrrrrrrrrrx////"
                                         "////xrrrrrrrrrrrrx////"
                                         "////xrrrrrrrrrrrrx////"
                                         "////xxxxxxxxxxxxxx////"
                                         "//////////////////////";
