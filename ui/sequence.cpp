// The extraction sequence: the first tick of the dialog's timer unpacks the payload's archives
// in order, prepares the self-protection and hands over to the inner installer.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "base/ansi_path.h"
#include "base/text.h"
#include "env/folder_tree.h"
#include "env/probe.h"
#include "env/protection.h"
#include "ui/launch.h"
#include "ui/unpack_archive.h"
#include "ui/unpack_dialog.h"

namespace {

bool PathExists(const char *path) { return _access(path, 0) == 0; }

// Deletes the file name in folder, read-only or not.
void DeleteSpentArchive(const char *folder, const char *name) {
  char path[kx::kPathCap];
  if (!Joined(JoinUnder(path, folder, name))) return;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  std::remove(path);
}

}  // namespace

void CUnpackDialog::OnTimer(UINT_PTR timerId) {
  if (timerId != kSequenceTimerId) return;  // the dialog procedure leaves it to the default
  // One tick only: the whole sequence runs once, inside this message.
  KillTimer(m_hWnd, kSequenceTimerId);

  const char *archives = m_szArchiveFolder;
  const char *output = m_szOutputFolder;
  int protectionError = 0;  // the component's last error; nothing here acts on it
  // From STAGE.ARJ on, a run that stops releases the self-protection first, whether or not the
  // set-up ran.
  bool stageReached = false;

  // A cancel or a failure ends the run here and takes the work folder with it.
  auto stop = [&](const kx::RunOutcome &outcome) {
    if (stageReached) ReleaseProtection(archives, &protectionError);
    RemoveFolderTree(archives);
    m_outcome = outcome;
    EndDialog(1);
  };
  // The cancel wins over a failure met meanwhile.
  auto failed = [&](kx::Fatal why) {
    return m_bCancelled != 0 ? kx::RunOutcome::Cancelled() : kx::RunOutcome::Failed(why);
  };
  // Unpacks one archive; false when the run has stopped. An archive that is not there changes
  // nothing; one that is there and cannot be unpacked in full stops the run, unless the user
  // has cancelled meanwhile: the cancel wins.
  auto unpack = [&](const char *folder, const char *name) {
    switch (UnpackArchive(archives, folder, name)) {
      case kUnpackDone:
      case kUnpackAbsent:
        return true;
      case kUnpackCancelled:
        stop(kx::RunOutcome::Cancelled());
        return false;
      case kUnpackWriteFailed:
        stop(failed(kx::Fatal::kNoDiskSpace));
        return false;
      default:
        stop(failed(kx::Fatal::kCorruptSet));
        return false;
    }
  };

  if (!unpack(output, "KXDATA.ARJ")) return;
  if (!m_silent.placeNoCleaner) CopyCleaner(output);
  DeleteSpentArchive(output, "kxdata.arj");

  char bnArchive[kx::kPathCap], dataArchive[kx::kPathCap], dataFolder[kx::kPathCap];
  bool dataFolderNamed = Joined(JoinUnder(dataFolder, output, "VeloDat\\"));
  if (dataFolderNamed) CreateDirectoryA(dataFolder, nullptr);

  // The component and its data come as a pair; without both, the stage is left alone.
  if (Joined(JoinUnder(bnArchive, archives, "BN.ARJ")) &&
      Joined(JoinUnder(dataArchive, archives, "VeloDat.ARJ")) && PathExists(bnArchive) &&
      PathExists(dataArchive)) {
    if (!unpack(output, "BN.ARJ")) return;
    if (dataFolderNamed && !unpack(dataFolder, "VeloDat.ARJ")) return;
    if (!IsProductInstalled() &&
        SetUpProtection(archives, m_silent.showNoMessages, &protectionError) == kSetUpRefused) {
      // The set-up has shown its message and removed the work folder.
      m_outcome = kx::RunOutcome::Failed(kx::Fatal::kInstallationRefused);
      EndDialog(1);
      return;
    }
    stageReached = true;
    if (!unpack(output, "STAGE.ARJ")) return;
    DeleteSpentArchive(output, "stage.arj");
  }

  stageReached = true;
  if (!unpack(output, "CORE.ARJ")) return;
  if (!m_silent.placeNoCleaner) CopyCleaner(output);
  if (m_bCancelled != 0) return stop(kx::RunOutcome::Cancelled());

  // The work folder stays when the installer could not be started: it shows what went wrong.
  // An installer that ran but whose exit code was lost must not end the run as a success.
  DWORD exitCode = 0;
  switch (LaunchInstaller(output, &exitCode)) {
    case kx::kLaunchNotStarted:
      m_outcome = kx::RunOutcome::Failed(kx::Fatal::kInstallerNotStarted);
      break;
    case kx::kLaunchNoExitCode:
      m_outcome = kx::RunOutcome::Failed(kx::Fatal::kInstallerExitCodeLost);
      break;
    default:
      m_outcome = kx::RunOutcome::InstallerExited(exitCode);
      break;
  }
  EndDialog(1);
}
