// How a run ends: the inner installer's exit code, a cancel, or a fatal failure. Start-up and
// the dialog hand these back instead of ending the process; start-up's table of fatal outcomes
// gives each failure its exit code and message, and start-up alone ends the process.
#pragma once
#include <cstdint>

namespace kx {

// Why a run ends before the inner installer could hand back its exit code.
enum class Fatal {
  kAlreadyRunning,         // another instance holds the guard
  kNoImagePath,            // the path of the running image cannot be had
  kImageUnreadable,        // the image cannot be opened to read its stamp
  kNoTempFolder,           // no temporary folder
  kNoDiskSpace,            // too little room: on the temporary volume, or for a member unpacked
  kNoFolderName,           // no free work folder name
  kCannotCreateFolder,     // the work folder cannot be made
  kCorruptImage,           // the image is shorter than its stamp says, or not the file that runs
  kPayloadNotCopied,       // the payload cannot be copied into the work folder
  kCorruptSet,             // an archive of the set is there but cannot be unpacked in full
  kInstallerNotStarted,    // the inner installer is missing, refused, or its line too long
  kInstallerExitCodeLost,  // it ran, but the wait for its end or its exit code failed
  kInstallationRefused,    // the self-protection set-up refused (and has said so itself)
};

struct RunOutcome {
  enum class Kind { kInstallerExited, kCancelled, kFailed };

  // A run that never reached the inner installer nor failed counts as cancelled: it ends with 0.
  Kind kind = Kind::kCancelled;
  std::uint32_t exitCode = 0;              // the inner installer's, with kInstallerExited
  Fatal failure = Fatal::kAlreadyRunning;  // with kFailed

  static RunOutcome InstallerExited(std::uint32_t code) {
    return {Kind::kInstallerExited, code, Fatal::kAlreadyRunning};
  }
  static RunOutcome Cancelled() { return {}; }
  static RunOutcome Failed(Fatal why) { return {Kind::kFailed, 0, why}; }

  bool operator==(const RunOutcome &other) const {
    return kind == other.kind && (kind != Kind::kInstallerExited || exitCode == other.exitCode) &&
           (kind != Kind::kFailed || failure == other.failure);
  }
  bool operator!=(const RunOutcome &other) const { return !(*this == other); }
};

}  // namespace kx
