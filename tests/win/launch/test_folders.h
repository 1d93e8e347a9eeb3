// Scratch folders and small file helpers for the Windows tests of the launch and the
// self-protection hand-off.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/wide_folders.h"

namespace testing_folders {

// A Unix path as Wine's Z: drive shows it.
inline std::string FromUnix(const std::string &unixPath) {
  std::string s = "Z:" + unixPath;
  for (char &c : s) {
    if (c == '/') c = '\\';
  }
  if (s.back() != '\\') s += '\\';
  return s;
}

// The folder the test doubles are built into.
inline std::string DoublesDir() { return FromUnix(KX_DOUBLES_DIR); }

// Removes a folder and everything below it, in wide characters.
using kxtest::RemoveTree;

// A fresh, empty folder below the tree's test data; ends in a backslash. relative may name
// nested folders ("a\\b c\\d"), all created.
inline std::string FreshFolder(const std::string &relative) {
  const char *data = std::getenv("KX_TEST_DATA");
  std::string root = FromUnix(data ? data : "/tmp/kx-test-data");
  std::string path = root;
  CreateDirectoryA(root.c_str(), nullptr);
  std::string rest = relative + "\\";
  std::size_t start = 0, slash;
  while ((slash = rest.find('\\', start)) != std::string::npos) {
    path += rest.substr(start, slash - start) + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    start = slash + 1;
  }
  RemoveTree(path);
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

inline bool Exists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void WriteText(const std::string &path, const std::string &text) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

inline std::string ReadText(const std::string &path) {
  std::string text;
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

inline std::vector<std::string> ReadLines(const std::string &path) {
  std::vector<std::string> lines;
  std::string text = ReadText(path);
  std::size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

inline bool CopyDouble(const char *name, const std::string &targetPath) {
  return CopyFileA((DoublesDir() + name).c_str(), targetPath.c_str(), FALSE) != FALSE;
}

}  // namespace testing_folders
