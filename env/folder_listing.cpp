#include "env/folder_listing.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

bool IsDotEntry(const wchar_t *name) {
  return !std::wcscmp(name, L".") || !std::wcscmp(name, L"..");
}

}  // namespace

bool WidenAnsiPath(const char *ansi, std::wstring *wide) {
  wide->clear();
  if (!ansi) return false;
  if (!*ansi) return true;
  const int length = static_cast<int>(std::strlen(ansi));
  const int chars = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, length, nullptr, 0);
  if (chars <= 0) return false;
  std::wstring converted(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, length, &converted[0], chars);

  // Back without best fit: every character must come back as the very bytes it came from.
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, converted.c_str(), chars,
                                        nullptr, 0, nullptr, &lossy);
  if (bytes != length || lossy) return false;
  std::string back(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, converted.c_str(), chars, &back[0], bytes,
                      nullptr, &lossy);
  if (lossy || back.compare(0, std::string::npos, ansi, static_cast<std::size_t>(length)) != 0)
    return false;
  *wide = converted;
  return true;
}

FolderListing::FolderListing(const std::wstring &folder, std::size_t maxChars) {
  const std::wstring pattern = folder + L"*.*";
  if (pattern.size() > maxChars) return;
  find_ = FindFirstFileW(pattern.c_str(), &first_);
  haveFirst_ = find_ != INVALID_HANDLE_VALUE;
}

FolderListing::~FolderListing() {
  if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
}

bool FolderListing::Next(WIN32_FIND_DATAW *entry) {
  if (find_ == INVALID_HANDLE_VALUE) return false;
  for (;;) {
    if (haveFirst_) {
      *entry = first_;
      haveFirst_ = false;
    } else if (!FindNextFileW(find_, entry)) {
      return false;
    }
    if (!IsDotEntry(entry->cFileName)) return true;
  }
}
