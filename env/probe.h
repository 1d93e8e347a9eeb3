// Is the product already installed? Reads the registry (both views) and tests files.
#pragma once
#include <windows.h>

bool IsProductInstalled();
bool IsLegacyProductRegistered();
bool IsEngineInstalled();
bool ReadEnginePath(bool view64, char *pathOut /* 260 bytes */);
bool KeyPathExists(HKEY root, const char *path);
bool KeyPathExists64(HKEY root, const char *path);
HKEY OpenKeyPath(HKEY root, const char *path);
