// Archive unpack with progress, apart from the dialog: it needs only a cancel flag, a progress
// bar and a way to run pending window messages, so tests can drive it with an owner of their own.
#pragma once
#include <windows.h>

#include <cstddef>

// Results of an unpack.
constexpr short kUnpackFailed = 0;
constexpr short kUnpackDone = 1;
constexpr short kUnpackCancelled = 101;

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
// before each. Returns kUnpackDone, kUnpackFailed or kUnpackCancelled.
short UnpackArchiveWithProgress(IUnpackOwner &owner, const char *archiveFolder,
                                const char *outputFolder, const char *archiveName,
                                const ArjEntryPoints &engine = RealArjEngine());
