// The work folder under the user's temporary folder.
#pragma once
#include <windows.h>

// Random names drawn before the search walks all 10,000 names in turn.
constexpr int kWorkFolderNameDraws = 1000;

// Draws a free name "KXnnmm.ins" under tempPath; false when all 10,000 are taken (or the
// temporary folder leaves no room for a name).
BOOL MakeWorkFolderName(const char *tempPath, char *nameOut, size_t nameCap);

// Deletes the files of a folder (not its sub-folders) and tries to remove it. A folder that
// is a link is removed as a link and never emptied.
BOOL EmptyAndRemoveFolder(const char *folderPath);

// Creates the work folder (path without trailing backslash), first emptying and removing
// whatever already has that name; false when no folder can be had there.
BOOL PrepareWorkFolder(const char *folderPath);
