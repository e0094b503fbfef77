// The link to a WWAN router that takes the modem's place.
#pragma once

long cm_linkcom(int lsfunktion, char* z);
