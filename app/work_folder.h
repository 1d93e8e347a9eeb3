// The work folder under the user's temporary folder: created new under a drawn name, never
// taken over from whoever made that name first.
#pragma once
#include <windows.h>

// Random names drawn before the search walks all 10,000 names in turn.
constexpr int kWorkFolderNameDraws = 1000;

// The names "KXnnmm.ins" in the order they are tried: random draws seeded from the clock,
// then every name once, so the search always ends.
class WorkFolderNames {
 public:
  // The next name (at least 11 bytes of room); false when every name has been tried.
  bool Next(char *name, size_t cap);

 private:
  int tried_ = 0;
  int number_ = 0;
  time_t seededAt_ = static_cast<time_t>(-1);
};

enum class WorkFolderOutcome { kCreated, kNoFreeName, kCannotCreate };

// Creates a work folder of a free name under tempPath (with or without its trailing
// backslash), with the given security. A name that is taken (by a folder, a file or a link)
// is passed over; a folder that existed before is never used. Where the system refuses the
// descriptor's owner (a run without elevation) the folder is made with default security.
// workDirOut receives the folder's path followed by one backslash.
typedef BOOL(WINAPI *CreateDirectoryAFn)(LPCSTR, LPSECURITY_ATTRIBUTES);
WorkFolderOutcome CreateWorkFolder(const char *tempPath, SECURITY_ATTRIBUTES *security,
                                   char *workDirOut, size_t cap,
                                   CreateDirectoryAFn createDirectory = CreateDirectoryA);
