// Temporary stand-in until the registry clean-up lands on this branch.
#include "env/hijack.h"

bool RemoveDebuggerHijack(const char *) { return true; }
bool RemoveCompatLayers(const char *) { return true; }
