// Scratch folders and files for the environment tests: unique per process and per call, so
// test programs running side by side in one prefix never meet.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/wide_folders.h"  // RemoveTree, for clean-up

namespace kxtest {

// A fresh, not yet existing path "<temp>\kxenv_<tag>_<pid>_<n>" (no trailing backslash).
std::string UniqueTempPath(const char *tag);

void MakeFolder(const std::string &path);
void MakeFile(const std::string &path, const char *content = "x");
bool Exists(const std::string &path);

}  // namespace kxtest

// Double-byte cases need a code page such as 932 (CTest runs these programs in one); where
// the run asks for it (KX_EXPECT_DBCS) its absence is a failure, elsewhere the case is skipped.
#define KXTEST_REQUIRE_DOUBLE_BYTE_CODE_PAGE()                                                    \
  do {                                                                                            \
    if (!IsDBCSLeadByte(0x95) || !IsDBCSLeadByte(0x83)) {                                         \
      if (std::getenv("KX_EXPECT_DBCS")) FAIL() << "code page " << GetACP() << " is single-byte"; \
      GTEST_SKIP() << "needs a double-byte ANSI code page such as 932";                           \
    }                                                                                             \
  } while (0)
