#include "ui/control_window.h"
#include "ui/status_lines.h"

// The control window does not exist yet; until then the status lines are only kept in
// cc_mtext, where the shared record and the tests read them.
void cc_show() {}

// The menu comes with the control window; a click on a panel icon does nothing until then.
void cc_menu() {}
