#include "ui/splash.h"

// No window yet: start-up runs without a splash screen for now.
void cs_show(int) {}
