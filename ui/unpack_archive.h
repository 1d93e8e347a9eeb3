// Archive unpack with progress, apart from the dialog: it needs only a cancel flag, a progress
// bar and a way to run pending window messages, so tests can drive it with an owner of their own.
#pragma once
#include <windows.h>

#include <cstddef>

// Results of an unpack (their own numbers, not the engine's codes).
enum UnpackResult : short {
  kUnpackFailed = 0,  // the archive is there but cannot be unpacked in full
  kUnpackDone = 1,
  kUnpackAbsent = 2,  // nothing at the archive's path: there is nothing to unpack
  kUnpackCancelled = 101,
  kUnpackWriteFailed = 105,  // a member could not be written (a full disk)
};

// Bare names of members arrive in a buffer of this size (at most 15 characters).
constexpr std::size_t kBareNameCap = 16;

// What the unpack needs from its owner.
class IUnpackOwner {
 public:
  virtual bool IsCancelled() = 0;  // the user has pressed Cancel
  virtual HWND ProgressBar() = 0;  // window of the progress control
  virtual void PumpMessages() = 0;

 protected:
  ~IUnpackOwner() = default;
};

// The two entry points of the ARJ engine (arj/arj.h); tests may put scripted ones in place.
struct ArjEntryPoints {
  short (*countMembers)(const char *archivePath);
  short (*extractMember)(const char *archivePath, int index, const char *outputPath,
                         char *bareNameOut, std::size_t bareNameSize);
};
const ArjEntryPoints &RealArjEngine();

// Unpacks every member of archiveFolder\archiveName into outputFolder, one member at a time
// through outputFolder\NEWFILE.TMP, stepping the bar once per member and pumping messages
// before each. Returns kUnpackDone, kUnpackCancelled, or why the archive was not unpacked in
// full: kUnpackAbsent, kUnpackWriteFailed, kUnpackFailed (any other failure, a refused member
// name among them). A member whose name is taken in the output folder stays in NEWFILE.TMP
// and is no failure.
UnpackResult UnpackArchiveWithProgress(IUnpackOwner &owner, const char *archiveFolder,
                                       const char *outputFolder, const char *archiveName,
                                       const ArjEntryPoints &engine = RealArjEngine());
