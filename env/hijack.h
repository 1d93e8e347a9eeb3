// Removal of registry entries that would change how Windows starts the inner installer.
#pragma once

bool RemoveDebuggerHijack(const char *exeName);
bool RemoveCompatLayers(const char *exeName);
