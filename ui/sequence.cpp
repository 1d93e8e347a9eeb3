// The extraction sequence: the first tick of the dialog's timer unpacks the payload's archives
// in order, prepares the self-protection and hands over to the inner installer.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "app/text.h"
#include "env/folder_tree.h"
#include "env/probe.h"
#include "env/protection.h"
#include "ui/unpack_dialog.h"

namespace {

constexpr short kCancelled = 101;

// folder + name, with a backslash between them when the folder lacks one. Empty when the
// result would not fit, so a cut path never names another file.
void FolderFile(char (&out)[kx::kPathCap], const char *folder, const char *name) {
  if (!kx::CopyText(out, folder) || !kx::AppendBackslashIfMissing(out, sizeof out) ||
      !kx::AppendText(out, name)) {
    out[0] = '\0';
  }
}

bool PathExists(const char *path) { return path[0] && _access(path, 0) == 0; }

// Deletes folder + name (the folder ends in a backslash), read-only or not.
void DeleteSpentArchive(const char *folder, const char *name) {
  char path[kx::kPathCap];
  if (!kx::JoinPath(path, sizeof path, folder, name)) return;
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

  // Cancel before the component's archive was reached: nothing to release.
  auto giveUp = [&](bool release) {
    if (release) ReleaseProtection(archives, &protectionError);
    RemoveFolderTree(archives);
    EndDialog(1);
  };

  if (UnpackArchive(archives, output, "KXDATA.ARJ") == kCancelled) return giveUp(false);
  if (m_nSilent == 0) CopyCleaner(output);
  DeleteSpentArchive(output, "kxdata.arj");

  char bnArchive[kx::kPathCap], dataArchive[kx::kPathCap], dataFolder[kx::kPathCap];
  FolderFile(bnArchive, archives, "BN.ARJ");
  FolderFile(dataArchive, archives, "VeloDat.ARJ");
  FolderFile(dataFolder, output, "VeloDat\\");
  if (dataFolder[0]) CreateDirectoryA(dataFolder, nullptr);

  // The component and its data come as a pair; without both, the stage is left alone.
  if (PathExists(bnArchive) && PathExists(dataArchive)) {
    if (UnpackArchive(archives, output, "BN.ARJ") == kCancelled) return giveUp(false);
    if (dataFolder[0] && UnpackArchive(archives, dataFolder, "VeloDat.ARJ") == kCancelled)
      return giveUp(false);
    if (!IsProductInstalled()) {
      SetUpProtection(archives, static_cast<unsigned char>(m_nSilent), &protectionError);
    }
    if (UnpackArchive(archives, output, "STAGE.ARJ") == kCancelled) return giveUp(true);
    DeleteSpentArchive(output, "stage.arj");
  }

  if (UnpackArchive(archives, output, "CORE.ARJ") == kCancelled) return giveUp(true);
  if (m_nSilent == 0) CopyCleaner(output);
  if (m_bCancelled != 0) return giveUp(true);

  LaunchInstaller(output);
  EndDialog(1);
}
