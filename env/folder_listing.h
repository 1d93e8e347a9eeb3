// Folder listings in wide characters. A name read through the ANSI calls passes the code
// page's best-fit mapping: a fullwidth "．．＼" lists as "..\", which names another folder.
// Names listed here are used as they are and never go back through the code page.
#pragma once
#include <windows.h>

#include <string>

// ansi (in the ANSI code page) as UTF-16 into *wide. False, *wide emptied, when ansi is null
// or is not exactly what *wide converts back to: such a path may name another file.
bool WidenAnsiPath(const char *ansi, std::wstring *wide);

// The entries of one folder, "." and ".." left out, in the order the file system lists them.
class FolderListing {
 public:
  // folder ends with a backslash. Started() is false when the folder cannot be listed or
  // folder plus "*.*" would be longer than maxChars characters.
  FolderListing(const std::wstring &folder, std::size_t maxChars);
  ~FolderListing();
  FolderListing(const FolderListing &) = delete;
  FolderListing &operator=(const FolderListing &) = delete;

  bool Started() const { return find_ != INVALID_HANDLE_VALUE; }
  // The next entry; false at the end of the listing (or when it never started).
  bool Next(WIN32_FIND_DATAW *entry);

 private:
  HANDLE find_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW first_;
  bool haveFirst_ = false;
};
