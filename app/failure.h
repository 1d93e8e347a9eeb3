// Why a run ends before the inner installer could hand back its exit code: the text the user
// is shown and the exit code a deployment tool reads. Helpers return these; only start-up and
// the extraction sequence act on them.
#pragma once
#include "app/messages.h"

namespace kx {

struct Failure {
  const char *text;  // nullptr: no message here (shown where the failure happened, or none)
  unsigned exitCode;
};

// Inline: one object per failure in the whole program, so failures compare by address.

// Not enough room: on the temporary volume at start-up, or for a member being unpacked.
inline constexpr Failure kNoDiskSpace = {msg::kNoDiskSpace, 130};
// The image is shorter than its stamp says, or an archive of the set is there but cannot be
// unpacked in full.
inline constexpr Failure kCorruptSet = {msg::kCorruptImage, 131};
// The inner installer was not started: missing, refused by the platform, or its command line
// too long.
inline constexpr Failure kInstallerNotStarted = {msg::kCannotStartInstaller, 132};
// The inner installer ran, but the wait for its end or the query of its exit code failed: its
// outcome is unknown, which is no success. No message: there is nothing known to tell.
inline constexpr Failure kInstallerExitCodeLost = {nullptr, 133};
// The self-protection set-up refused the installation; it has shown its own message.
inline constexpr Failure kInstallationRefused = {nullptr, 138};

}  // namespace kx
