// A session manager for test scenarios: reads commands on standard input, writes what it sees
// on standard output, one line each (see xsmp_test_manager.h for both).
//
//   mavlyn_test_session_manager [--hook EVENT COMMAND]
//
// With --hook, COMMAND runs through the shell the moment EVENT arrives (e.g. INTERACT_DONE),
// before the event line is written.
#include "xsmp_test_manager.h"

#include <cstring>

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    xsmp_test::manager m;
    m.cmd_fd = 0;
    m.event_fd = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--hook") == 0 && i + 2 < argc) {
            m.hook_event = argv[i + 1];
            m.hook_command = argv[i + 2];
            i += 2;
        } else {
            fprintf(stderr, "usage: %s [--hook EVENT COMMAND]\n", argv[0]);
            return 2;
        }
    }
    return xsmp_test::run(m);
}
