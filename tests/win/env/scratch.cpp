#include "win/env/scratch.h"

#include <cstdio>

namespace kxtest {

std::string UniqueTempPath(const char *tag) {
  static unsigned counter = 0;
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  char name[96];
  std::snprintf(name, sizeof name, "kxenv_%s_%lu_%u", tag, GetCurrentProcessId(), ++counter);
  return std::string(temp) + name;
}

void MakeFolder(const std::string &path) { CreateDirectoryA(path.c_str(), nullptr); }

void MakeFile(const std::string &path, const char *content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
  CloseHandle(file);
}

bool Exists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace kxtest
