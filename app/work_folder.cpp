#include "app/work_folder.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/ansi_path.h"
#include "base/text.h"

namespace {

constexpr int kNameCount = 10000;

// Something of that name exists already: a folder, a file, a link.
bool NameIsTaken(DWORD error) {
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

}  // namespace

bool WorkFolderNames::Next(char *name, size_t cap) {
  if (tried_ >= kWorkFolderNameDraws + kNameCount) return false;
  if (tried_ < kWorkFolderNameDraws) {
    // Seeded from the clock; within one second the sequence goes on instead of repeating
    // the name just found taken.
    time_t now = time(nullptr);
    if (now != seededAt_) {
      srand(static_cast<unsigned>(now));
      seededAt_ = now;
    }
    int first = rand() % 100;
    number_ = first * 100 + rand() % 100;
  } else {
    number_ = (number_ + 1) % kNameCount;
  }
  ++tried_;
  int n = std::snprintf(name, cap, "KX%02d%02d.ins", number_ / 100, number_ % 100);
  return n > 0 && static_cast<size_t>(n) < cap;
}

WorkFolderOutcome CreateWorkFolder(const char *tempPath, SECURITY_ATTRIBUTES *security,
                                   char *workDirOut, size_t cap,
                                   CreateDirectoryAFn createDirectory) {
  if (!tempPath || !workDirOut || cap == 0) return WorkFolderOutcome::kCannotCreate;
  char prefix[kx::kPathCap] = {};
  switch (JoinUnder(prefix, tempPath, "")) {
    case JoinOutcome::kJoined:
      break;
    case JoinOutcome::kMissingPart:  // no temporary folder: nowhere to make one
      return WorkFolderOutcome::kCannotCreate;
    case JoinOutcome::kTooLong:
      return WorkFolderOutcome::kNoFreeName;
  }
  WorkFolderNames names;
  char name[16];
  char folder[kx::kPathCap];
  while (names.Next(name, sizeof name)) {
    // Room for the backslash that makes the path workDir.
    if (!Joined(JoinUnder(folder, sizeof folder - 1, prefix, name)))
      return WorkFolderOutcome::kNoFreeName;
    BOOL made = createDirectory(folder, security);
    DWORD error = made ? ERROR_SUCCESS : GetLastError();
    if (!made && security && error == ERROR_INVALID_OWNER) {
      // Not elevated: the owner cannot be set. The one case that goes on without the descriptor.
      security = nullptr;
      made = createDirectory(folder, nullptr);
      error = made ? ERROR_SUCCESS : GetLastError();
    }
    if (made) {
      return Joined(JoinUnder(workDirOut, cap, folder, "")) ? WorkFolderOutcome::kCreated
                                                            : WorkFolderOutcome::kCannotCreate;
    }
    if (!NameIsTaken(error)) return WorkFolderOutcome::kCannotCreate;
  }
  return WorkFolderOutcome::kNoFreeName;
}
