#include "modem/incoming_calls.h"

// Calls are not acted on yet: the answer passes unchanged.
void cm__ringdetect(char*) {}
