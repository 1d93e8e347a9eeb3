// Small file helpers for kxpack: 64-bit sizes and all-or-nothing output.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kxpack {

// Size of an open file in bytes, or -1.
std::int64_t FileSize(std::FILE *f);
bool SeekTo(std::FILE *f, std::int64_t offset);
// Where an open file stands, or -1.
std::int64_t Tell(std::FILE *f);
// True when path names an existing regular file (not a folder or a device).
bool IsRegularFile(const std::string &path);
// True when path names an existing folder.
bool IsDirectory(const std::string &path);
// Creates one folder: on POSIX open to everyone to read (kShared) or to the user alone
// (kPrivate); on Windows it takes its parent's access either way.
enum class FolderAccess { kShared, kPrivate };
bool MakeFolder(const std::string &path, FolderAccess access);
// This process's id, for names of temporary files and folders.
long ProcessId();
// Renames from over to, replacing an existing file (which rename alone does not on Windows).
bool RenameReplacing(const std::string &from, const std::string &to);
// Reads the whole of a regular file below 2 GiB; false when it cannot be opened or read.
bool ReadFile(const std::string &path, std::string *data);

// A file to be packed, opened once: its type, size and modification time (seconds since
// 1970) come from the open file, and it is read whole.
enum class InputRead { kOk, kUnreadable, kTooLarge };
constexpr std::int64_t kMaxInputSize = 0x7FFFFFFF;  // 2 GiB and more do not fit a member
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile &) = delete;
  InputFile &operator=(const InputFile &) = delete;
  ~InputFile();
  // kOk when path names a regular file below 2 GiB.
  InputRead Open(const std::string &path);
  std::int64_t size() const { return size_; }
  std::int64_t mtime() const { return mtime_; }
  // Reads the opened file whole, once, and closes it.
  InputRead ReadAll(std::string *data);
  // Reads the next n bytes of the opened file; false when there are not so many.
  bool ReadExactly(char *to, std::size_t n);

 private:
  int fd_ = -1;
  std::int64_t size_ = 0;
  std::int64_t mtime_ = 0;
};
// The reason a file cannot be packed, from how its opening or reading failed.
std::string InputFailure(InputRead read, const std::string &path);

// The names in a folder, without "." and "..", in byte order. False when it cannot be read.
bool ListFolder(const std::string &dir, std::vector<std::string> *names);

// Writes to a temporary name beside the target and renames it into place on Commit, so a
// failed run never leaves a partial file under the target's name.
class AtomicOutput {
 public:
  explicit AtomicOutput(std::string target);
  ~AtomicOutput();    // removes the temporary file unless committed
  std::FILE *Open();  // for writing and reading back
  bool Commit();      // closes, checks every write, renames
  const std::string &temp_path() const { return temp_; }

 private:
  std::string target_, temp_;
  std::FILE *file_ = nullptr;
  bool committed_ = false;
};

}  // namespace kxpack
