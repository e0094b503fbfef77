// The program's monotonic time base in hundredths of a second.
#pragma once

// Hundredths of a second since the first call (or since the clock was last stopped).
long int ti_htime();
// Stops the clock at program end; a later call of ti_htime starts it again from zero.
void ti__clockstop();
