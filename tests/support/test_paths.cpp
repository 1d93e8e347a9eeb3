// File helpers of the ui tests.
#include "support/test_paths.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kxtest {

std::string TestDataDir() {
  const char *unix = std::getenv("KX_TEST_DATA");
  std::string path = "Z:";
  path += unix ? unix : "/tmp";
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string FreshFolder(const std::string &name) {
  std::string scratch = TestDataDir() + "\\ui-scratch";
  CreateDirectoryA(scratch.c_str(), nullptr);
  std::string folder = scratch + "\\" + name;
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

std::string ReadFileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFileBytes(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ListFolder(const std::string &folder) {
  std::ostringstream joined;
  const char *gap = "";
  for (const std::string &name : FolderNames(folder)) {
    joined << gap << name;
    gap = " ";
  }
  return joined.str();
}

int CountFiles(const std::string &folder) {
  return static_cast<int>(FolderNames(folder, true).size());
}

}  // namespace kxtest
