// Start-up: everything before the progress dialog, and the end of the process.
#include <windows.h>

#include <io.h>

#include "app/app.h"
#include "app/file_write.h"
#include "app/image_file.h"
#include "app/messages.h"
#include "app/payload_copy.h"
#include "app/temp_folder.h"
#include "app/work_folder.h"
#include "app/work_folder_security.h"
#include "base/ansi_path.h"
#include "base/text.h"

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
  char tempPath[kx::kPathCap] = {};
  char workDir[kx::kPathCap] = {};

  ParseCommandLine();

  // Opened before anything another process could see, the guard's event included, and held
  // to the end: from here on the image can be neither renamed nor replaced. Its failures are
  // reported after the guard's, in their usual order.
  ImageFile image;
  ImageOpenOutcome opened = OpenRunningImage(&image);

  if (IsAlreadyRunning()) FailWithMessage(msg::kAlreadyRunning, 0);
  if (opened == ImageOpenOutcome::kNoPath) FailWithMessage(msg::kInternalError, 0);
  if (opened == ImageOpenOutcome::kCannotOpen) FailWithMessage(msg::kExtractError, 0);
  // Renamed before it was opened: the file now at its path is not the one running.
  if (CheckMappedImage(image, GetModuleHandleW(nullptr)) == MappedImageCheck::kDifferent)
    FailWithMessage(msg::kCorruptImage, 131);

  kx::StampRecord stamp = kx::ReadPayloadStamp(image);

  if (!GetTempFolder(tempPath, sizeof tempPath)) FailWithMessage(msg::kNoTempFolder, 127);

  if (stamp.requiredMB == 0) stamp.requiredMB = 200;
  // The only start-up message that the silent flag suppresses.
  if (!HasEnoughFreeSpace(tempPath, stamp.requiredMB))
    FailWithMessage(kx::kNoDiskSpace, stamp.silent != 0);

  WorkFolderSecurity security;
  if (!security.Attributes()) FailWithMessage(msg::kCannotCreateFolder, 0);
  switch (CreateWorkFolder(tempPath, security.Attributes(), workDir, sizeof workDir)) {
    case WorkFolderOutcome::kCreated:
      break;
    case WorkFolderOutcome::kNoFreeName:
      FailWithMessage(msg::kNoFolderName, 128);
    case WorkFolderOutcome::kCannotCreate:
      FailWithMessage(msg::kCannotCreateFolder, 0);
  }

  switch (CopyPayload(image, workDir, stamp.payloadOffset, stamp.payloadLength)) {
    case PayloadCopyOutcome::kCopied:
      break;
    case PayloadCopyOutcome::kImageCorrupt:
      FailWithMessage(kx::kCorruptSet, false);
    case PayloadCopyOutcome::kFailed:
      FailWithMessage(msg::kExtractError, 130);
  }

  if (m_lpCmdLine && *m_lpCmdLine) SaveCommandLine(workDir, m_lpCmdLine);

  if (const kx::Failure *failure = RunProgressDialog(workDir, stamp.silent))
    FailWithMessage(*failure, stamp.silent != 0);
  ExitProcess(g_dwProcessExitCode);
}
