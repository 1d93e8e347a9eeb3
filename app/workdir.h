// The work folder under the user's temporary folder.
#pragma once
#include <windows.h>

// Most names drawn before giving up (there are 10,000 names; random draws cover them all
// well within this many).
constexpr int kMaxWorkFolderNameDraws = 100000;

// Draws a free name "KXnnmm.ins" under tempPath; false when none is found within the bound.
BOOL MakeWorkFolderName(const char *tempPath, char *nameOut, size_t nameCap);

// Deletes the files of a folder (not its sub-folders) and tries to remove it. A folder that
// is a link is removed as a link and never emptied.
BOOL EmptyAndRemoveFolder(const char *folderPath);

// Creates the work folder (path without trailing backslash), first emptying and removing
// whatever already has that name; false when no folder can be had there.
BOOL PrepareWorkFolder(const char *folderPath);
