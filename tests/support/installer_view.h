// The registry view the installer, a 32-bit program, sees by default on 64-bit Windows. Tests
// make and look for the installer's keys there by name, so that the 64-bit build of the same
// sources is held to the keys the product touches.
#pragma once
#include <windows.h>

namespace kxtest {
constexpr REGSAM kInstallerView = KEY_WOW64_32KEY;
}  // namespace kxtest
