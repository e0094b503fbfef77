#include "control/program_end.h"

#include "config/config_record.h"
#include "control/session_client.h"
#include "control/session_state.h"
#include "foundation/logging.h"
#include "foundation/threads.h"
#include "foundation/utilities.h"

#include <cstdlib>

namespace {

[[noreturn]] void end_program() {
    lo_slogx("ENDP10.\n", "", -1);
    lo_slogx("ENDP50.\n", "", -1);
    lo_slog(
        _de ? "%s  mavlyn beendet.\n\n    --------------------------------------------------\n\n"
            : "%s  mavlyn terminated.\n\n    "
              "--------------------------------------------------\n\n",
        datumzeit(), -1);
    th_unregister(nullptr);
    th_terminate(20000);
    msleep(10);
    mt_sessioninteractiondone();
    exit(0);
}

} // namespace

// So far the end sequence has only its last steps: final log line, thread shutdown, the
// answer to the session manager and exit. Disconnecting, counters, user programs and the
// modem reset join it with their subsystems.
bool programmende(bool erzwingen) {
    if (ruhestatus != 0 && ruhestatus != 1) return false;
    if (erzwingen) programmende_gewuenscht = true;
    if (programmende_gewuenscht) end_program();
    return false;
}
