#include "modem/router_link.h"

// There is no router support yet: no router mode, nothing reachable.
long cm_linkcom(int, char*) {
    return 0;
}
