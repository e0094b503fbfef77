#include "modem/at_channel.h"

// Nothing is opened yet, so there is nothing to close.
void cm_end() {}
