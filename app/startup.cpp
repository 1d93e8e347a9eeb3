// Start-up: everything before the progress dialog, which it then runs; the process ends with
// the outcome (app_object.cpp).
#include <windows.h>

#include <io.h>

#include "app/app.h"
#include "app/file_write.h"
#include "app/image_file.h"
#include "app/payload_copy.h"
#include "app/temp_folder.h"
#include "app/work_folder.h"
#include "app/work_folder_security.h"
#include "base/ansi_path.h"
#include "base/text.h"
#include "ui/run_dialog.h"

namespace {

void SaveCommandLine(const char *workDir, const char *cmdLine) {
  char path[kx::kPathCap] = {};
  if (!Joined(JoinUnder(path, workDir, "ARGSAVE.DAT"))) return;
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) DeleteFileA(path);
  int fd = OpenForWriting(path);
  if (fd < 0) return;
  // The whole line, however long: the inner installer reads its options from here.
  WriteAll(fd, cmdLine, static_cast<unsigned>(lstrlenA(cmdLine)));
  _close(fd);
}

}  // namespace

BOOL HasEnoughFreeSpace(const char *tempPath, int requiredMB) {
  if (!tempPath || requiredMB <= 0) return FALSE;
  char root[4] = {};
  lstrcpynA(root, tempPath, sizeof root);

  typedef BOOL(WINAPI * GetDiskFreeSpaceExAFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                               PULARGE_INTEGER);
  auto getFreeEx = reinterpret_cast<GetDiskFreeSpaceExAFn>(reinterpret_cast<void *>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
  unsigned long long freeMB;
  if (getFreeEx) {
    ULARGE_INTEGER available, total, totalFree;
    if (!getFreeEx(root, &available, &total, &totalFree)) return FALSE;
    freeMB = available.QuadPart >> 20;
  } else {
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
      return FALSE;
    freeMB = static_cast<unsigned long long>(sectorsPerCluster) * bytesPerSector * freeClusters /
             1048576ull;
  }
  return freeMB >= static_cast<unsigned long long>(requiredMB);
}

void CInstallerApp::InitInstance() {
  kx::SilentMode silent;  // every message shows until the stamp has been read
  kx::RunOutcome outcome = Run(&silent);
  EndRun(outcome, silent);
}

kx::RunOutcome CInstallerApp::Run(kx::SilentMode *silent) {
  char workDir[kx::kPathCap] = {};
  ParseCommandLine();
  if (std::optional<kx::Fatal> failure = PreparePayload(workDir, silent))
    return kx::RunOutcome::Failed(*failure);
  if (m_lpCmdLine && *m_lpCmdLine) SaveCommandLine(workDir, m_lpCmdLine);
  return RunProgressDialog(workDir, *silent, m_options);
}

std::optional<kx::Fatal> CInstallerApp::PreparePayload(char (&workDir)[kx::kPathCap],
                                                       kx::SilentMode *silent) {
  // Opened before anything another process could see, the guard's event included, and held
  // until the payload has been copied: the stamp and the payload come from this one file, which
  // meanwhile can be neither renamed, replaced nor written. The image is closed when this
  // returns: nothing reads it afterwards, and the file is free again while the inner installer
  // runs. Its failures are reported after the guard's, in their usual order.
  ImageFile image;
  ImageOpenOutcome opened = OpenRunningImage(&image);

  if (IsAlreadyRunning()) return kx::Fatal::kAlreadyRunning;
  if (opened == ImageOpenOutcome::kNoPath) return kx::Fatal::kNoImagePath;
  if (opened == ImageOpenOutcome::kCannotOpen) return kx::Fatal::kImageUnreadable;
  // Renamed before it was opened: the file now at its path is not the one running.
  if (CheckMappedImage(image, GetModuleHandleW(nullptr)) == MappedImageCheck::kDifferent)
    return kx::Fatal::kCorruptImage;

  kx::StampRecord stamp = kx::ReadPayloadStamp(image);
  *silent = kx::DecodeSilent(stamp.silent);

  char tempPath[kx::kPathCap] = {};
  if (!GetTempFolder(tempPath, sizeof tempPath)) return kx::Fatal::kNoTempFolder;

  if (stamp.requiredMB == 0) stamp.requiredMB = 200;
  if (!HasEnoughFreeSpace(tempPath, stamp.requiredMB)) return kx::Fatal::kNoDiskSpace;

  WorkFolderSecurity security;
  if (!security.Attributes()) return kx::Fatal::kCannotCreateFolder;
  switch (CreateWorkFolder(tempPath, security.Attributes(), workDir, sizeof workDir)) {
    case WorkFolderOutcome::kCreated:
      break;
    case WorkFolderOutcome::kNoFreeName:
      return kx::Fatal::kNoFolderName;
    case WorkFolderOutcome::kCannotCreate:
      return kx::Fatal::kCannotCreateFolder;
  }

  switch (CopyPayload(image, workDir, stamp.payloadOffset, stamp.payloadLength)) {
    case PayloadCopyOutcome::kCopied:
      return std::nullopt;
    case PayloadCopyOutcome::kImageCorrupt:
      return kx::Fatal::kCorruptImage;
    case PayloadCopyOutcome::kFailed:
      break;
  }
  return kx::Fatal::kPayloadNotCopied;
}
