#include "support/wide_folders.h"

#include <windows.h>

#include <algorithm>

#include "env/folder_listing.h"

namespace kxtest {

namespace {

// Longer than any path the tests make; the listing's own cap is not what is tested here.
constexpr std::size_t kAnyLength = 32767;

std::wstring Wide(const std::string &ansi) {
  std::wstring wide(ansi.size(), L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                              static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return wide;
}

std::string Utf8(const wchar_t *wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], n, nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

std::wstring WithBackslash(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

void RemoveTreeW(const std::wstring &path) {
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (!RemoveDirectoryW(path.c_str())) DeleteFileW(path.c_str());
    return;
  }
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  const std::wstring folder = WithBackslash(path);
  {
    FolderListing listing(folder, kAnyLength);
    WIN32_FIND_DATAW entry;
    while (listing.Next(&entry)) RemoveTreeW(folder + entry.cFileName);
  }
  RemoveDirectoryW(folder.substr(0, folder.size() - 1).c_str());
}

}  // namespace

std::vector<std::string> FolderNames(const std::string &folder, bool filesOnly) {
  std::vector<std::string> names;
  FolderListing listing(WithBackslash(Wide(folder)), kAnyLength);
  WIN32_FIND_DATAW entry;
  while (listing.Next(&entry)) {
    if (filesOnly && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    names.push_back(Utf8(entry.cFileName));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string &path) {
  std::wstring wide = Wide(path);
  while (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
  RemoveTreeW(wide);
}

}  // namespace kxtest
