// Recursive removal of a folder tree.
#pragma once

// path ends in a backslash. 1 when every entry below it was removed; 0 on a null path or
// the first entry that could not be removed.
int RemoveFolderTree(const char *path);
