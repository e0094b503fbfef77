// SMS reception: the thread that shows received SMS and query answers.
#pragma once

#include <glib.h>

gpointer sm_msgthread(gpointer par);
