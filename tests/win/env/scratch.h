// Scratch folders and files for the environment tests: unique per process and per call, so
// test programs running side by side in one prefix never meet.
#pragma once
#include <windows.h>

#include <string>

namespace kxtest {

// A fresh, not yet existing path "<temp>\kxenv_<tag>_<pid>_<n>" (no trailing backslash).
std::string UniqueTempPath(const char *tag);

void MakeFolder(const std::string &path);
void MakeFile(const std::string &path, const char *content = "x");
bool Exists(const std::string &path);

// Removes a tree whatever its attributes, without entering links; for clean-up only.
void ForceRemoveTree(const std::string &path);

}  // namespace kxtest
