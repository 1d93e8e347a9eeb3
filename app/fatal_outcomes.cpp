#include "app/fatal_outcomes.h"

#include "app/messages.h"

namespace {

using kx::Fatal;

// In the order of kx::Fatal. Of start-up's own failures, before any window, only the free-space
// check is silenced; every failure met while unpacking and launching is.
constexpr FatalOutcome kFatalOutcomes[] = {
    {Fatal::kAlreadyRunning, 0, msg::kAlreadyRunning, false},
    {Fatal::kNoImagePath, 0, msg::kInternalError, false},
    {Fatal::kImageUnreadable, 0, msg::kExtractError, false},
    {Fatal::kNoTempFolder, 127, msg::kNoTempFolder, false},
    {Fatal::kNoDiskSpace, 130, msg::kNoDiskSpace, true},
    {Fatal::kNoFolderName, 128, msg::kNoFolderName, false},
    {Fatal::kCannotCreateFolder, 0, msg::kCannotCreateFolder, false},
    {Fatal::kCorruptImage, 131, msg::kCorruptImage, false},
    {Fatal::kPayloadNotCopied, 130, msg::kExtractError, false},
    {Fatal::kCorruptSet, 131, msg::kCorruptImage, true},
    {Fatal::kInstallerNotStarted, 132, msg::kCannotStartInstaller, true},
    {Fatal::kInstallerExitCodeLost, 133, nullptr, true},
    {Fatal::kInstallationRefused, 138, nullptr, true},
};

constexpr bool EveryRowInItsPlace() {
  for (unsigned i = 0; i < sizeof kFatalOutcomes / sizeof kFatalOutcomes[0]; ++i)
    if (static_cast<unsigned>(kFatalOutcomes[i].fatal) != i) return false;
  return true;
}
static_assert(EveryRowInItsPlace(), "one row for each fatal outcome, in the order of kx::Fatal");
static_assert(sizeof kFatalOutcomes / sizeof kFatalOutcomes[0] ==
                  static_cast<unsigned>(Fatal::kInstallationRefused) + 1,
              "every fatal outcome has its row");

}  // namespace

const FatalOutcome &FatalOutcomeOf(kx::Fatal fatal) {
  return kFatalOutcomes[static_cast<unsigned>(fatal)];
}
