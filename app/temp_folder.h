// The user's temporary folder as an ANSI path that names exactly that folder. A folder whose
// name the active code page cannot spell (a user name outside it, say) comes back from
// GetTempPathA best-fit mapped or filled with '?', which names another folder or none.
#pragma once
#include <windows.h>

// The short (8.3) form of a path, as GetShortPathNameW gives it; a seam for the tests.
typedef DWORD(WINAPI *ShortPathQuery)(LPCWSTR, LPWSTR, DWORD);

// Fills tempOut (kx::kPathCap bytes) with the temporary folder path, ending in a backslash:
// GetTempPathA's when it is the exact spelling of GetTempPathW's, else the folder's short
// path when that one is spelt exactly in ANSI. False when neither can be had.
bool GetTempFolder(char *tempOut, size_t cap, ShortPathQuery shortPath = GetShortPathNameW);

// The exact ANSI spelling of a wide text: false when any character would be best-fit mapped
// or replaced, or the result does not fit.
bool WideToExactAnsi(const wchar_t *wide, char *out, size_t cap);
