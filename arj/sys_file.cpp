#include "arj/sys_file.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#endif

namespace arj::sys {

#ifdef _WIN32

int OpenForReading(const char *path) { return _open(path, _O_RDONLY | _O_BINARY); }

int CreateForWriting(const char *path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}

bool Identify(int fd, FileIdentity *identity) {
  struct _stat64 st;
  if (_fstat64(fd, &st) != 0) return false;
  *identity = FileIdentity();
  identity->device = static_cast<std::uint64_t>(st.st_dev);
  identity->size = st.st_size;
  identity->modified_sec = st.st_mtime;
  identity->changed_sec = st.st_ctime;
  return true;
}

bool SeekTo(int fd, std::int64_t position) { return _lseeki64(fd, position, SEEK_SET) >= 0; }

namespace {

// One call of the C runtime, which counts in unsigned int: bytes moved, 0 at the end, or < 0.
long ReadOnce(int fd, char *p, std::size_t n) { return _read(fd, p, static_cast<unsigned>(n)); }
long WriteOnce(int fd, const char *p, std::size_t n) {
  return _write(fd, p, static_cast<unsigned>(n));
}

}  // namespace

bool Close(int fd) { return _close(fd) == 0; }

#else

namespace {

// Non-blocking so that a FIFO planted under the name cannot stall us; only regular files
// are accepted afterwards.
int OpenRegular(const char *path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

// Finds, in folder dir, the entry whose name equals name without regard to ASCII case.
// Several candidates: the smallest in byte order, so the choice does not depend on the
// order of the directory listing.
bool FindEntryIgnoringCase(const std::string &dir, const std::string &name, std::string *found) {
  DIR *d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool any = false;
  while (const dirent *e = readdir(d)) {
    if (strcasecmp(e->d_name, name.c_str()) != 0) continue;
    if (!any || std::strcmp(e->d_name, found->c_str()) < 0) *found = e->d_name;
    any = true;
  }
  closedir(d);
  return any;
}

// The archive path arrives upper-cased (the platform the archives were made for ignores
// case); here the real file may be spelled in any case.
bool ResolveIgnoringCase(const char *path, std::string *resolved) {
  std::string out;
  const char *p = path;
  if (*p == '/') {
    out = "/";
    while (*p == '/') ++p;
  }
  while (*p) {
    const char *slash = std::strchr(p, '/');
    const std::string part = slash ? std::string(p, slash) : std::string(p);
    std::string candidate = out + part;
    struct stat st;
    if (part != "." && part != ".." && lstat(candidate.c_str(), &st) != 0) {
      std::string entry;
      if (!FindEntryIgnoringCase(out, part, &entry)) return false;
      candidate = out + entry;
    }
    out = candidate;
    if (!slash) break;
    out += '/';
    p = slash;
    while (*p == '/') ++p;
  }
  *resolved = out;
  return true;
}

}  // namespace

int OpenForReading(const char *path) {
  int fd = OpenRegular(path);
  if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return fd;
  // The installer opens the same archive once per member: remember the last resolution
  // rather than listing every folder of the path again on each call.
  static std::string last_path, last_resolved;
  if (!last_path.empty() && last_path == path) {
    fd = OpenRegular(last_resolved.c_str());
    if (fd >= 0) return fd;
  }
  std::string resolved;
  if (!ResolveIgnoringCase(path, &resolved)) return -1;
  fd = OpenRegular(resolved.c_str());
  if (fd >= 0) {
    last_path = path;
    last_resolved = resolved;
  }
  return fd;
}

int CreateForWriting(const char *path) {
  const int fd =
      open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool Identify(int fd, FileIdentity *identity) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  identity->device = static_cast<std::uint64_t>(st.st_dev);
  identity->inode = static_cast<std::uint64_t>(st.st_ino);
  identity->size = st.st_size;
  identity->modified_sec = st.st_mtim.tv_sec;
  identity->modified_nsec = st.st_mtim.tv_nsec;
  identity->changed_sec = st.st_ctim.tv_sec;
  identity->changed_nsec = st.st_ctim.tv_nsec;
  return true;
}

bool SeekTo(int fd, std::int64_t position) {
  return lseek(fd, static_cast<off_t>(position), SEEK_SET) >= 0;
}

namespace {

// One system call, repeated when a signal interrupts it: bytes moved, 0 at the end, or < 0.
long ReadOnce(int fd, char *p, std::size_t n) {
  ssize_t r;
  do r = read(fd, p, n);
  while (r < 0 && errno == EINTR);
  return static_cast<long>(r);
}
long WriteOnce(int fd, const char *p, std::size_t n) {
  ssize_t w;
  do w = write(fd, p, n);
  while (w < 0 && errno == EINTR);
  return static_cast<long>(w);
}

}  // namespace

bool Close(int fd) { return close(fd) == 0; }

#endif

std::size_t ReadFully(int fd, void *buffer, std::size_t n) {
  char *p = static_cast<char *>(buffer);
  std::size_t got = 0;
  while (got < n) {
    const long r = ReadOnce(fd, p + got, n - got);
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

bool WriteFully(int fd, const void *data, std::size_t n) {
  const char *p = static_cast<const char *>(data);
  while (n > 0) {
    const long w = WriteOnce(fd, p, n);
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace arj::sys
