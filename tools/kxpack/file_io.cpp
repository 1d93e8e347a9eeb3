#include "tools/kxpack/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kxpack {

std::int64_t FileSize(std::FILE *f) {
#ifdef _WIN32
  if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
#else
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
#endif
  return Tell(f);
}

bool MakeFolder(const std::string &path, FolderAccess access) {
#ifdef _WIN32
  (void)access;
  return _mkdir(path.c_str()) == 0;
#else
  return mkdir(path.c_str(), access == FolderAccess::kPrivate ? 0700 : 0755) == 0;
#endif
}

long ProcessId() {
#ifdef _WIN32
  return long(_getpid());
#else
  return long(getpid());
#endif
}

bool SeekTo(std::FILE *f, std::int64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, offset, SEEK_SET) == 0;
#else
  return fseeko(f, offset, SEEK_SET) == 0;
#endif
}

std::int64_t Tell(std::FILE *f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return ftello(f);
#endif
}

bool IsRegularFile(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

bool IsDirectory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

bool RenameReplacing(const std::string &from, const std::string &to) {
#ifdef _WIN32
  std::remove(to.c_str());  // rename does not replace on Windows
#endif
  return std::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// The file opened for reading, its type, size and time taken from the open file itself: a
// name looked up twice may name two different files in between.
#ifdef _WIN32
using FileStatus = struct _stat64;
int OpenForReading(const std::string &path) { return _open(path.c_str(), _O_RDONLY | _O_BINARY); }
int StatusOf(int fd, FileStatus *st) { return _fstat64(fd, st); }
int ReadSome(int fd, char *to, std::size_t n) { return _read(fd, to, static_cast<unsigned>(n)); }
int CloseFile(int fd) { return _close(fd); }
#else
using FileStatus = struct stat;
// Non-blocking, so that a pipe planted under the name does not hang the open; regular files
// read as ever.
int OpenForReading(const std::string &path) {
  return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
int StatusOf(int fd, FileStatus *st) { return fstat(fd, st); }
long ReadSome(int fd, char *to, std::size_t n) { return static_cast<long>(read(fd, to, n)); }
int CloseFile(int fd) { return close(fd); }
#endif

// Reads up to n bytes of a regular file; returns how many, or -1 on an error. A read that
// returns less than it was asked for has met the end: no call more to be told so.
std::int64_t ReadUpTo(int fd, char *to, std::size_t n) {
  constexpr std::size_t kMaxChunk = 1u << 30;  // what one read call takes on every system
  std::size_t got = 0;
  while (got < n) {
    const std::size_t ask = std::min(n - got, kMaxChunk);
    const auto r = ReadSome(fd, to + got, ask);
    if (r < 0) return -1;
    got += static_cast<std::size_t>(r);
    if (static_cast<std::size_t>(r) < ask) break;
  }
  return static_cast<std::int64_t>(got);
}

}  // namespace

InputFile::~InputFile() {
  if (fd_ >= 0) CloseFile(fd_);
}

InputRead InputFile::Open(const std::string &path) {
  fd_ = OpenForReading(path);
  if (fd_ < 0) return InputRead::kUnreadable;
  FileStatus st;
  if (StatusOf(fd_, &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG) return InputRead::kUnreadable;
  size_ = static_cast<std::int64_t>(st.st_size);
  mtime_ = static_cast<std::int64_t>(st.st_mtime);
  return size_ > kMaxInputSize ? InputRead::kTooLarge : InputRead::kOk;
}

InputRead InputFile::ReadAll(std::string *data) {
  if (fd_ < 0) return InputRead::kUnreadable;
  // One byte more than the size: a file that grew or shrank while read gives no torn copy.
  data->resize(static_cast<std::size_t>(size_) + 1);
  const bool whole = ReadUpTo(fd_, &(*data)[0], data->size()) == size_;
  data->resize(static_cast<std::size_t>(size_));
  CloseFile(fd_);
  fd_ = -1;
  return whole ? InputRead::kOk : InputRead::kUnreadable;
}

std::string InputFailure(InputRead read, const std::string &path) {
  switch (read) {
    case InputRead::kOk:
      break;
    case InputRead::kTooLarge:
      return path + ": files of 2 GiB or more cannot be packed";
    case InputRead::kUnreadable:
      return "cannot read " + path;
  }
  return std::string();
}

bool InputFile::ReadExactly(char *to, std::size_t n) {
  return fd_ >= 0 && ReadUpTo(fd_, to, n) == static_cast<std::int64_t>(n);
}

bool ReadFile(const std::string &path, std::string *data) {
  // Nothing kxpack reads whole may reach 2 GiB: an image and its parts stay below that.
  InputFile file;
  return file.Open(path) == InputRead::kOk && file.ReadAll(data) == InputRead::kOk;
}

bool ListFolder(const std::string &dir, std::vector<std::string> *names) {
  DIR *d = opendir(dir.c_str());
  if (!d) return false;
  names->clear();
  while (const dirent *e = readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names->push_back(n);
  }
  closedir(d);
  std::sort(names->begin(), names->end());
  return true;
}

AtomicOutput::AtomicOutput(std::string target) : target_(std::move(target)) {
  temp_ = target_ + ".part" + std::to_string(ProcessId());
}

AtomicOutput::~AtomicOutput() {
  if (file_) std::fclose(file_);
  if (!committed_) std::remove(temp_.c_str());
}

std::FILE *AtomicOutput::Open() {
  std::remove(temp_.c_str());
  file_ = std::fopen(temp_.c_str(), "w+b");
  return file_;
}

bool AtomicOutput::Commit() {
  if (!file_) return false;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) return false;
  if (!RenameReplacing(temp_, target_)) return false;
  committed_ = true;
  return true;
}

}  // namespace kxpack
