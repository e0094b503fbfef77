// The control window: the status display in its forms and the control menu.
#pragma once

// Builds and pops up the control menu at the pointer.
void cc_menu();
