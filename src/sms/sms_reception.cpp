#include "sms/sms_reception.h"

#include "foundation/threads.h"

// Until SMS are received the message thread only idles and takes part in the end.
gpointer sm_msgthread(gpointer) {
    th_register("msgthread");
    for (;;) th_msleepexit(500);
}
