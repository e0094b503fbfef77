// The modem's command channel.
#pragma once

// Closes the modem channel for good at program end.
void cm_end();
