// Archive unpack with progress. Each member is written to NEWFILE.TMP first and renamed only
// after the engine has checked it, so a member that fails never appears under its own name.
#include "ui/unpack_archive.h"

#include <commctrl.h>

#include <cstring>

#include "arj/arj.h"
#include "arj/member_name.h"
#include "arj/result.h"
#include "base/ansi_path.h"
#include "base/text.h"

namespace {

// Why an extraction failed. Nothing at the archive's path means there was nothing to unpack;
// a path that cannot be looked at is taken as there.
UnpackResult FailureOf(short code, const char *archivePath) {
  if (code == arj::kWriteFailure) return kUnpackWriteFailed;
  if (code == arj::kCannotOpen && GetFileAttributesA(archivePath) == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kUnpackAbsent;
  }
  return kUnpackFailed;
}

// A bare name is used only when it names a file directly inside the output folder. A name
// that fills the whole buffer may have been cut by the engine, and a cut name would put the
// member's data under a name nobody asked for: refuse it too.
bool IsUsableBareName(const char *name) {
  std::size_t n = ::strnlen(name, kBareNameCap);
  return n < kBareNameCap - 1 && arj::IsSafeMemberName(name);
}

}  // namespace

const ArjEntryPoints &RealArjEngine() {
  static const ArjEntryPoints engine = {arj_count_members, arj_extract_member};
  return engine;
}

UnpackResult UnpackArchiveWithProgress(IUnpackOwner &owner, const char *archiveFolder,
                                       const char *outputFolder, const char *archiveName,
                                       const ArjEntryPoints &engine) {
  if (owner.IsCancelled()) return kUnpackCancelled;
  // An empty folder would mean the current directory (JoinUnder refuses it); an empty name
  // would make the folder itself the archive.
  if (!archiveName || !*archiveName) return kUnpackFailed;
  char archivePath[kx::kPathCap] = {};
  if (!Joined(JoinUnder(archivePath, archiveFolder, archiveName))) return kUnpackFailed;

  // Without its backslash the output folder would turn every name into a sibling of the
  // folder: JoinUnder adds it, so nothing is ever written outside.
  char folder[kx::kPathCap] = {};
  char tempPath[kx::kPathCap] = {};
  if (!Joined(JoinUnder(folder, outputFolder, "")) ||
      !Joined(JoinUnder(tempPath, folder, "NEWFILE.TMP")))
    return kUnpackFailed;

  if (owner.IsCancelled()) return kUnpackCancelled;

  short count = engine.countMembers(archivePath);
  if (count < 0) return kUnpackFailed;

  HWND bar = owner.ProgressBar();
  SendMessageA(bar, PBM_SETRANGE, 0, static_cast<LPARAM>(count) << 16);
  SendMessageA(bar, PBM_SETSTEP, 1, 0);

  if (owner.IsCancelled()) return kUnpackCancelled;

  for (short index = 0; index < count; ++index) {
    // Messages run only here, between engine calls: the engine's state is not re-entrant.
    owner.PumpMessages();

    char bareName[kBareNameCap] = {};
    short code = engine.extractMember(archivePath, index + 1, tempPath, bareName, sizeof bareName);
    // No member at the position asked for, and an archive whose first header is its end
    // marker, end the archive without a failure.
    if (code == arj::kNoSuchMember || code == arj::kEmptyArchive) break;
    if (code != arj::kOk) return FailureOf(code, archivePath);
    bareName[kBareNameCap - 1] = '\0';

    char targetPath[kx::kPathCap] = {};
    if (!IsUsableBareName(bareName) || !Joined(JoinUnder(targetPath, folder, bareName)))
      return kUnpackFailed;
    // Fails when a file of that name exists; the existing file then stays as it was.
    MoveFileA(tempPath, targetPath);

    SendMessageA(bar, PBM_STEPIT, 0, 0);
    if (owner.IsCancelled()) return kUnpackCancelled;
  }
  return kUnpackDone;
}
