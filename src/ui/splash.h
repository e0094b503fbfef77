// The splash window with start, end and short notices.
#pragma once

// Shows the text of the given kind, or hides the window (kind 0 or a suppressed kind).
void cs_show(int kind);
