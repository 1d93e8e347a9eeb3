// The registry views the installer works in. It ships as a 32-bit program, and on 64-bit
// Windows a 32-bit process that names no view sees the 32-bit view of the machine's software
// keys. Every access names its view, so that a 64-bit build reads and cleans the same keys.
#pragma once
#include <windows.h>

// What the 32-bit program sees by default (on 32-bit Windows, the only view).
constexpr REGSAM kRegistryView32 = KEY_WOW64_32KEY;
// The other view, which the probe consults as well.
constexpr REGSAM kRegistryView64 = KEY_WOW64_64KEY;
