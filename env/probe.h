// Is the product already installed? Reads the registry (both views) and tests files.
#pragma once
#include <windows.h>

bool IsProductInstalled();
bool IsLegacyProductRegistered();
bool IsEngineInstalled();
bool ReadEnginePath(bool view64, char *pathOut /* 260 bytes */);
// Key paths ("|"-separated pieces, each opened below the one before). KeyPathExists and
// OpenKeyPath work in the 32-bit view, the one the installer sees by default as a 32-bit
// program; KeyPathExists64 in the 64-bit view. ReadEnginePath reads the view chosen.
bool KeyPathExists(HKEY root, const char *path);
bool KeyPathExists64(HKEY root, const char *path);
HKEY OpenKeyPath(HKEY root, const char *path);
