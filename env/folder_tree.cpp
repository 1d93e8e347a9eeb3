#include "env/folder_tree.h"

#include <windows.h>

#include <cstring>

#include "app/text.h"
#include "env/ansi_path.h"

namespace {

// The path without its trailing backslash. Asked with the backslash, the platform answers for
// the folder a link points at rather than for the link itself.
bool CopyWithoutTrailingBackslash(char (&out)[kx::kPathCap], const char *path) {
  if (!kx::CopyText(out, path)) return false;
  if (EndsWithBackslash(out)) out[std::strlen(out) - 1] = '\0';
  return true;
}

// A junction or symbolic link is removed as a link: its target lies outside the tree and must
// survive whatever rights this process runs with.
bool RemoveLink(const char *linkPath, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryA(linkPath) != FALSE;
  return DeleteFileA(linkPath) != FALSE;
}

bool IsDotEntry(const char *name) { return !std::strcmp(name, ".") || !std::strcmp(name, ".."); }

// Removes one entry of the listing; false stops the walk.
bool RemoveEntry(const char *folder, const WIN32_FIND_DATAA &entry) {
  char entryPath[kx::kPathCap];
  if (!kx::JoinPath(entryPath, sizeof entryPath, folder, entry.cFileName)) return false;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return RemoveLink(entryPath, entry.dwFileAttributes);
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    // The sub-folder's path with its backslash must fit as well.
    if (!kx::AppendText(entryPath, "\\")) return false;
    return RemoveFolderTree(entryPath) != 0;
  }
  return DeleteFileA(entryPath) != FALSE;
}

}  // namespace

int RemoveFolderTree(const char *path) {
  if (!path) return 0;
  // An empty path would name the current folder: never a tree anybody meant to remove.
  char bare[kx::kPathCap];
  if (!CopyWithoutTrailingBackslash(bare, path) || bare[0] == '\0') return 0;
  char folder[kx::kPathCap];
  if (!kx::JoinPath(folder, sizeof folder, bare, "\\")) return 0;

  // The folder itself may be a link put in its place: only the link goes.
  DWORD attributes = GetFileAttributesA(bare);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return RemoveLink(bare, attributes) ? 1 : 0;

  int result = 1;
  char pattern[kx::kPathCap];
  if (!kx::JoinPath(pattern, sizeof pattern, folder, "*.*")) {
    result = 0;  // too long to list: its entries cannot be reached
  } else {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing != INVALID_HANDLE_VALUE) {
      do {
        if (IsDotEntry(entry.cFileName)) continue;
        if (!RemoveEntry(folder, entry)) {
          result = 0;
          break;
        }
      } while (FindNextFileA(listing, &entry));
      FindClose(listing);
    }
  }
  RemoveDirectoryA(bare);
  return result;
}
