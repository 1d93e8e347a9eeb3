#include "env/folder_tree.h"

#include <windows.h>

#include <string>

#include "base/text.h"
#include "env/folder_listing.h"

namespace {

// Every path of the walk, counted in characters, fits the 260-character buffers of the
// platform's plain (not long-path) calls.
constexpr std::size_t kMaxPathChars = kx::kPathCap - 1;

bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction or symbolic link is removed as a link, its attributes untouched: its target
// lies outside the tree and must survive whatever rights this process runs with.
bool RemoveLink(const std::wstring &linkPath, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(linkPath.c_str()) != FALSE;
  return DeleteFileW(linkPath.c_str()) != FALSE;
}

// The folder held open as itself, never through a link, and without delete sharing: while
// the walk lists it, nobody can rename it away or put a link in its place.
class HeldFolder {
 public:
  explicit HeldFolder(const std::wstring &path)
      : handle_(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle_ != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle_, &info))
      attributes_ = info.dwFileAttributes;
  }
  ~HeldFolder() { Close(); }
  HeldFolder(const HeldFolder &) = delete;
  HeldFolder &operator=(const HeldFolder &) = delete;

  DWORD attributes() const { return attributes_; }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
};

int RemoveTree(const std::wstring &bare);

// Removes one entry of the listing of folder (which ends with a backslash); false stops the
// walk.
bool RemoveEntry(const std::wstring &folder, const WIN32_FIND_DATAW &entry) {
  const std::wstring entryPath = folder + entry.cFileName;
  if (entryPath.size() > kMaxPathChars) return false;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return RemoveLink(entryPath, entry.dwFileAttributes);
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    // The sub-folder's path with its backslash must fit as well.
    if (entryPath.size() + 1 > kMaxPathChars) return false;
    return RemoveTree(entryPath) != 0;
  }
  return DeleteFileW(entryPath.c_str()) != FALSE;
}

// bare: a folder path without its trailing backslash.
int RemoveTree(const std::wstring &bare) {
  // The folder itself may be a link put in its place: only the link goes. Asked both by
  // name and through a handle opened on the link itself, so that a platform that answers
  // one of them for the link's target still sees the link.
  const DWORD byName = GetFileAttributesW(bare.c_str());
  if (IsLink(byName)) return RemoveLink(bare, byName) ? 1 : 0;
  HeldFolder held(bare);
  if (IsLink(held.attributes())) {
    const DWORD attributes = held.attributes();
    held.Close();
    return RemoveLink(bare, attributes) ? 1 : 0;
  }

  int result = 1;
  {
    FolderListing listing(bare + L"\\", kMaxPathChars);
    // Too long to list: its entries cannot be reached. Otherwise a listing that cannot be
    // started counts as an empty folder.
    if (!listing.Started() && bare.size() + 4 > kMaxPathChars) result = 0;
    WIN32_FIND_DATAW entry;
    while (listing.Next(&entry)) {
      if (!RemoveEntry(bare + L"\\", entry)) {
        result = 0;
        break;
      }
    }
  }
  held.Close();
  RemoveDirectoryW(bare.c_str());
  return result;
}

}  // namespace

int RemoveFolderTree(const char *path) {
  // A path that does not convert back to exactly its own bytes might name another folder:
  // nothing is removed.
  std::wstring wide;
  if (!WidenAnsiPath(path, &wide)) return 0;
  if (wide.size() > kMaxPathChars) return 0;
  if (!wide.empty() && wide.back() == L'\\') wide.pop_back();
  // An empty path would name the current folder: never a tree anybody meant to remove.
  if (wide.empty()) return 0;
  return RemoveTree(wide);
}
