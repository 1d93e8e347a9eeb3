// Paths of the ui tests' files, as Windows sees them under Wine.
#pragma once
#include <string>

#include "support/wide_folders.h"

namespace kxtest {

// KX_TEST_DATA as a Windows path (Z:\...\testdata), without a trailing backslash.
std::string TestDataDir();
// A fresh, empty folder under the test data folder; the result ends in a backslash.
std::string FreshFolder(const std::string &name);
// Whole file as bytes; empty when missing.
std::string ReadFileBytes(const std::string &path);
bool FileExists(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &bytes);
// Names of the files in a folder (ending in a backslash), "." and ".." left out, sorted.
std::string ListFolder(const std::string &folder);
int CountFiles(const std::string &folder);

}  // namespace kxtest
