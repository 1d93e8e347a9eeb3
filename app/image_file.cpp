#include "app/image_file.h"

namespace {

typedef DWORD(WINAPI *GetMappedFileNameWFn)(HANDLE, LPVOID, LPWSTR, DWORD);
typedef DWORD(WINAPI *GetFinalPathNameByHandleWFn)(HANDLE, LPWSTR, DWORD, DWORD);
typedef int(WINAPI *CompareStringOrdinalFn)(LPCWCH, int, LPCWCH, int, BOOL);

template <typename Fn>
Fn Lookup(HMODULE module, const char *name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)))
                : nullptr;
}

// Windows 7 and later carry the call in kernel32; older systems in psapi.dll.
GetMappedFileNameWFn FindGetMappedFileNameW() {
  auto fn = Lookup<GetMappedFileNameWFn>(GetModuleHandleA("kernel32.dll"), "K32GetMappedFileNameW");
  if (fn) return fn;
  return Lookup<GetMappedFileNameWFn>(LoadLibraryA("psapi.dll"), "GetMappedFileNameW");
}

// Some systems name the mapped file by its drive ("\??\C:\..."): give it the device form the
// handle's final path has ("\Device\HarddiskVolume1\...").
bool DriveFormToDeviceForm(wchar_t *name, DWORD cap) {
  if (!(name[0] == L'\\' && name[1] == L'?' && name[2] == L'?' && name[3] == L'\\' && name[4] &&
        name[5] == L':')) {
    return true;
  }
  wchar_t drive[3] = {name[4], L':', L'\0'};
  wchar_t device[MAX_PATH] = {};
  if (!QueryDosDeviceW(drive, device, MAX_PATH)) return false;
  const wchar_t *rest = name + 6;
  size_t deviceLength = lstrlenW(device), restLength = lstrlenW(rest);
  if (deviceLength + restLength >= cap) return false;
  MoveMemory(name + deviceLength, rest, (restLength + 1) * sizeof(wchar_t));
  CopyMemory(name, device, deviceLength * sizeof(wchar_t));
  return true;
}

}  // namespace

ImageFile::~ImageFile() {
  if (IsOpen()) CloseHandle(handle_);
}

bool ImageFile::Open(const wchar_t *path) {
  if (IsOpen() || !path) return false;
  handle_ = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

std::size_t ImageFile::ReadAt(std::int64_t offset, void *buffer, std::size_t n) {
  if (!IsOpen() || offset < 0) return 0;
  std::size_t total = 0;
  while (total < n) {
    OVERLAPPED at = {};
    std::int64_t where = offset + static_cast<std::int64_t>(total);
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(n - total > 0x10000000 ? 0x10000000 : n - total);
    if (!ReadFile(handle_, static_cast<char *>(buffer) + total, want, &got, &at) || got == 0) break;
    total += got;
  }
  return total;
}

std::int64_t ImageFile::Length() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(handle_, &size)) return -1;
  return size.QuadPart;
}

ImageOpenOutcome OpenRunningImage(ImageFile *image) {
  static wchar_t path[kNtPathCap];
  // A path cut to the buffer would name another file: treat it as no path at all.
  DWORD n = GetModuleFileNameW(nullptr, path, kNtPathCap);
  if (n == 0 || n >= kNtPathCap) return ImageOpenOutcome::kNoPath;
  return image->Open(path) ? ImageOpenOutcome::kOpened : ImageOpenOutcome::kCannotOpen;
}

bool QueryMappedFileName(HMODULE module, wchar_t *name, DWORD cap) {
  static GetMappedFileNameWFn getMapped = FindGetMappedFileNameW();
  if (!getMapped) return false;
  DWORD n = getMapped(GetCurrentProcess(), module, name, cap);
  return n > 0 && n < cap - 1;
}

MappedImageCheck CheckMappedImage(const ImageFile &image, HMODULE module, MappedNameQuery query) {
  static wchar_t mapped[kNtPathCap];
  static wchar_t held[kNtPathCap];
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto finalPath = Lookup<GetFinalPathNameByHandleWFn>(kernel, "GetFinalPathNameByHandleW");
  auto compare = Lookup<CompareStringOrdinalFn>(kernel, "CompareStringOrdinal");
  if (!finalPath || !compare || !image.IsOpen()) return MappedImageCheck::kCannotTell;
  DWORD n = finalPath(image.Handle(), held, kNtPathCap, FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
  if (n == 0 || n >= kNtPathCap) return MappedImageCheck::kCannotTell;
  if (!query(module, mapped, kNtPathCap) || !DriveFormToDeviceForm(mapped, kNtPathCap))
    return MappedImageCheck::kCannotTell;
  return compare(mapped, -1, held, -1, TRUE) == CSTR_EQUAL ? MappedImageCheck::kSame
                                                           : MappedImageCheck::kDifferent;
}
