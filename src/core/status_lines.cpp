#include "core/status_lines.h"

#include "foundation/utilities.h"

#include <cstring>

fefo_t fefo = fefo_OHNE;
char cc_mtext[cc_mtextFELD][cc_mtextLEN];

namespace {
void clear_detail_lines() {
    for (int i = 2; i <= cc_mtextERR; i++) strMcpy(cc_mtext[i], " ");
}
} // namespace

void cc_show1() {
    clear_detail_lines();
    cc_show();
}

void cc_show2(const char* mtnormal, const char* mtmini) {
    clear_detail_lines();
    strMcpy(cc_mtext[1], mtnormal ? mtnormal : " ");
    strMcpy(cc_mtext[cc_mtextMINI], mtmini ? mtmini : " ");
    cc_show();
}

char cc_marker(const char* line) {
    return (line[0] == '+' || line[0] == '*') ? line[0] : ' ';
}

void cc_minitext(char* out, size_t n, const char* line) {
    if (!n) return;
    strmcpy(out, line[0] ? line + 1 : line, n);
    if (char* p = strchr(out, '_')) {
        *p = ' ';
    } else if ((p = strchr(out, '~')) || (p = strchr(out, '\\'))) {
        memmove(p, p + 1, strlen(p + 1) + 1);
    }
}

bool cc_errorlineshown() {
    return cc_mtext[cc_mtextERR][0] && cc_mtext[cc_mtextERR][1];
}

const char* cc_shortstatus() {
    const char* line = cc_errorlineshown() ? cc_mtext[cc_mtextERR] : cc_mtext[cc_mtextMINI];
    return line[0] ? line + 1 : line;
}
