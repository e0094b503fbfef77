// The one-second timer tick of the GUI thread and the program's monotonic time base.
#pragma once

// Hundredths of a second since the first call.
long int ti_htime();
