#include "app/workdir.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/text.h"

namespace {

bool NameIsFree(const char *tempPath, int number, char *name, size_t nameCap) {
  std::snprintf(name, nameCap, "KX%02d%02d.ins", number / 100, number % 100);
  char path[kx::kPathCap] = {};
  if (!kx::CopyText(path, tempPath) || !kx::AppendBackslashIfMissing(path, sizeof path) ||
      !kx::AppendText(path, name)) {
    return false;
  }
  return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() != ERROR_ACCESS_DENIED;
}

}  // namespace

BOOL MakeWorkFolderName(const char *tempPath, char *nameOut, size_t nameCap) {
  if (!tempPath || !nameOut || nameCap == 0) return FALSE;
  char name[16];
  time_t seededAt = static_cast<time_t>(-1);
  int number = 0;
  for (int draw = 0; draw < kWorkFolderNameDraws; ++draw) {
    // Seeded from the clock; within one second the sequence goes on instead of repeating
    // the name just found taken.
    time_t now = time(nullptr);
    if (now != seededAt) {
      srand(static_cast<unsigned>(now));
      seededAt = now;
    }
    int first = rand() % 100;
    number = first * 100 + rand() % 100;
    if (NameIsFree(tempPath, number, name, sizeof name))
      return kx::CopyText(nameOut, nameCap, name);
  }
  // Luck found only taken names: try every name once, so the search always ends.
  for (int i = 1; i <= 10000; ++i) {
    if (NameIsFree(tempPath, (number + i) % 10000, name, sizeof name))
      return kx::CopyText(nameOut, nameCap, name);
  }
  return FALSE;
}

BOOL EmptyAndRemoveFolder(const char *folderPath) {
  if (!folderPath) return FALSE;
  char folder[kx::kPathCap] = {};
  if (!kx::CopyText(folder, folderPath)) return FALSE;
  DWORD attributes = GetFileAttributesA(folder);
  // Somebody else's link in our place: remove the link, never what it points at.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(folder) : DeleteFileA(folder);
  }
  char pattern[kx::kPathCap] = {};
  if (!kx::CopyText(pattern, folder) || !kx::AppendBackslashIfMissing(pattern, sizeof pattern))
    return FALSE;
  char prefix[kx::kPathCap];
  kx::CopyText(prefix, pattern);
  if (!kx::AppendText(pattern, "*.*")) return FALSE;

  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(pattern, &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!lstrcmpA(entry.cFileName, ".") || !lstrcmpA(entry.cFileName, "..")) continue;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // sub-folders stay
      char path[kx::kPathCap];
      if (!kx::JoinPath(path, sizeof path, prefix, entry.cFileName)) continue;
      // Changing the attributes of a link would change its target's.
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  return RemoveDirectoryA(folder);
}

BOOL PrepareWorkFolder(const char *folderPath) {
  if (GetFileAttributesA(folderPath) != INVALID_FILE_ATTRIBUTES) {
    EmptyAndRemoveFolder(folderPath);
    // A folder that kept sub-folders is used as it is; a file that stayed is no folder.
    DWORD left = GetFileAttributesA(folderPath);
    if (left != INVALID_FILE_ATTRIBUTES) return (left & FILE_ATTRIBUTE_DIRECTORY) ? TRUE : FALSE;
  }
  return CreateDirectoryA(folderPath, nullptr);
}
