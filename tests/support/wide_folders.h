// Listing and removing test folders in wide characters: a name read through the ANSI calls
// passes the code page's best-fit mapping and may come back naming another file.
#pragma once
#include <string>
#include <vector>

namespace kxtest {

// The names in a folder (given in the ANSI code page, with or without its backslash), "."
// and ".." left out, sorted; in UTF-8, so names outside the code page come back whole.
// filesOnly leaves the folders out.
std::vector<std::string> FolderNames(const std::string &folder, bool filesOnly = false);

// Removes a folder (or a file) and everything below it, whatever its attributes; links are
// removed, never followed. For test scratch only.
void RemoveTree(const std::string &path);

}  // namespace kxtest
