// Start-up: everything before the progress dialog, and the end of the process.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/app.h"
#include "app/messages.h"
#include "app/stamp.h"
#include "app/text.h"
#include "app/workdir.h"

namespace {

// Writes all of n bytes; false on a short or failed write (a full disk, for one).
bool WriteAll(int fd, const char *data, unsigned n) {
  while (n > 0) {
    int written = _write(fd, data, n);
    if (written <= 0) return false;
    data += written;
    n -= static_cast<unsigned>(written);
  }
  return true;
}

int OpenForWriting(const char *path) {
  return _open(path, _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}

void SaveCommandLine(const char *workDir, const char *cmdLine) {
  char path[kx::kPathCap] = {};
  if (!kx::JoinPath(path, sizeof path, workDir, "ARGSAVE.DAT")) return;
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) DeleteFileA(path);
  int fd = OpenForWriting(path);
  if (fd < 0) return;
  // The whole line, however long: the inner installer reads its options from here.
  WriteAll(fd, cmdLine, static_cast<unsigned>(lstrlenA(cmdLine)));
  _close(fd);
}

}  // namespace

PayloadCopy CopyPayload(const char *imagePath, const char *workDir, int payloadOffset,
                        int payloadLength) {
  static char block[4096];
  if (!imagePath || !workDir) return PayloadCopy::kFailed;
  char target[kx::kPathCap] = {};
  if (!kx::JoinPath(target, sizeof target, workDir, "KXDATA.ARJ")) return PayloadCopy::kFailed;

  std::FILE *image = std::fopen(imagePath, "rb");
  if (!image) return PayloadCopy::kFailed;
  long imageLength = std::fseek(image, 0, SEEK_END) == 0 ? std::ftell(image) : -1;
  // A stamp with a negative field describes no payload at all: the image is corrupt.
  if (payloadOffset < 0 || payloadLength < 0 ||
      static_cast<long long>(imageLength) < static_cast<long long>(payloadOffset) + payloadLength) {
    std::fclose(image);
    return PayloadCopy::kImageTooShort;
  }

  int out = OpenForWriting(target);
  if (out < 0) {
    std::fclose(image);
    return PayloadCopy::kFailed;
  }
  bool ok = std::fseek(image, payloadOffset, SEEK_SET) == 0;
  int wholeBlocks = payloadLength / 4096;
  int remainder = payloadLength % 4096;
  for (int i = 0; ok && i < wholeBlocks; ++i) {
    ok = std::fread(block, 1, sizeof block, image) == sizeof block &&
         WriteAll(out, block, sizeof block);
  }
  if (ok) {
    ok = std::fread(block, 1, static_cast<size_t>(remainder), image) ==
             static_cast<size_t>(remainder) &&
         WriteAll(out, block, static_cast<unsigned>(remainder));
  }
  ok = _close(out) == 0 && ok;
  std::fclose(image);
  return ok ? PayloadCopy::kDone : PayloadCopy::kFailed;
}

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
  char imagePath[kx::kPathCap] = {};
  char workPath[kx::kPathCap] = {};
  char folderName[kx::kPathCap] = {};
  kx::StampRecord stamp;

  ParseCommandLine();

  // The progress bar's window class.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  if (IsAlreadyRunning()) FailWithMessage(msg::kAlreadyRunning, 0);

  // A path cut to the buffer would name another file: treat it as no path at all.
  DWORD n = GetModuleFileNameA(nullptr, imagePath, sizeof imagePath);
  if (n == 0 || n >= sizeof imagePath) FailWithMessage(msg::kInternalError, 0);

  if (!kx::ReadPayloadStamp(imagePath, &stamp)) FailWithMessage(msg::kExtractError, 0);

  n = GetTempPathA(sizeof workPath, workPath);
  if (n == 0 || n >= sizeof workPath) FailWithMessage(msg::kNoTempFolder, 127);

  if (stamp.requiredMB == 0) stamp.requiredMB = 200;
  // The only start-up message that the silent flag suppresses.
  if (!HasEnoughFreeSpace(workPath, stamp.requiredMB))
    FailWithMessage(kx::kNoDiskSpace, stamp.silent != 0);

  if (!MakeWorkFolderName(workPath, folderName, sizeof folderName))
    FailWithMessage(msg::kNoFolderName, 128);
  // The name was checked against this very path, so it fits.
  kx::AppendBackslashIfMissing(workPath, sizeof workPath);
  if (!kx::AppendText(workPath, folderName)) FailWithMessage(msg::kNoFolderName, 128);

  if (!PrepareWorkFolder(workPath)) FailWithMessage(msg::kCannotCreateFolder, 0);

  if (!kx::AppendText(workPath, "\\")) FailWithMessage(msg::kCannotCreateFolder, 0);
  const char *workDir = workPath;

  switch (CopyPayload(imagePath, workDir, stamp.payloadOffset, stamp.payloadLength)) {
    case PayloadCopy::kDone:
      break;
    case PayloadCopy::kImageTooShort:
      FailWithMessage(kx::kCorruptSet, false);
    case PayloadCopy::kFailed:
      FailWithMessage(msg::kExtractError, 130);
  }

  if (m_lpCmdLine && *m_lpCmdLine) SaveCommandLine(workDir, m_lpCmdLine);

  if (const kx::Failure *failure = RunProgressDialog(workDir, stamp.silent))
    FailWithMessage(*failure, stamp.silent != 0);
  ExitProcess(g_dwProcessExitCode);
}
