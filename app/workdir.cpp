#include "app/workdir.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/text.h"

BOOL MakeWorkFolderName(const char *tempPath, char *nameOut, size_t nameCap) {
  if (!tempPath || !nameOut || nameCap == 0) return FALSE;
  time_t seededAt = static_cast<time_t>(-1);
  for (int draw = 0; draw < kMaxWorkFolderNameDraws; ++draw) {
    // Seeded from the clock; within one second the sequence goes on instead of repeating
    // the name just found taken.
    time_t now = time(nullptr);
    if (now != seededAt) {
      srand(static_cast<unsigned>(now));
      seededAt = now;
    }
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "KX%02d", rand() % 100);
    char name[16];
    std::snprintf(name, sizeof name, "%s%02d.ins", prefix, rand() % 100);
    char path[kx::kPathCap] = {};
    if (!kx::CopyText(path, tempPath) || !kx::AppendBackslashIfMissing(path, sizeof path) ||
        !kx::AppendText(path, name)) {
      return FALSE;  // the temporary folder leaves no room for the name
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() != ERROR_ACCESS_DENIED) {
      return kx::CopyText(nameOut, nameCap, name) ? TRUE : FALSE;
    }
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
    // A folder that kept sub-folders is used as it is.
    if (GetFileAttributesA(folderPath) != INVALID_FILE_ATTRIBUTES) return TRUE;
  }
  return CreateDirectoryA(folderPath, nullptr);
}
