// The running image, opened once before anything another process could see and held until
// its payload has been copied: the stamp and the payload are read through this one handle, and
// while it is held the file can be neither renamed nor replaced (no write or delete sharing),
// so what is copied is what the stamp describes.
#pragma once
#include <windows.h>

#include "base/stamp.h"

// NT paths reach 32,767 characters.
constexpr DWORD kNtPathCap = 32768;

class ImageFile final : public kx::ImageSource {
 public:
  ImageFile() = default;
  ImageFile(const ImageFile &) = delete;
  ImageFile &operator=(const ImageFile &) = delete;
  ~ImageFile();

  // Opens a file for reading, sharing read access only. False when it cannot be opened.
  bool Open(const wchar_t *path);
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return handle_; }

  std::size_t ReadAt(std::int64_t offset, void *buffer, std::size_t n) override;
  std::int64_t Length() override;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// What opening the running image found.
enum class ImageOpenOutcome { kOpened, kNoPath, kCannotOpen };
ImageOpenOutcome OpenRunningImage(ImageFile *image);

// Whether a held image is the file the system mapped for the module.
enum class MappedImageCheck { kSame, kDifferent, kCannotTell };

// The NT name of the file mapped at a module's base, as GetMappedFileNameW gives it; false
// when the system cannot say.
typedef bool (*MappedNameQuery)(HMODULE module, wchar_t *name, DWORD cap);
bool QueryMappedFileName(HMODULE module, wchar_t *name, DWORD cap);

// Compares the NT name of the file mapped for module with the final NT name of the held image.
// A rename of the image before it was opened shows as kDifferent. kCannotTell where the system
// lacks either call. The query is a seam for the tests; the program uses the system's.
MappedImageCheck CheckMappedImage(const ImageFile &image, HMODULE module,
                                  MappedNameQuery query = QueryMappedFileName);
