// Thin, portable file calls for the engine: descriptors instead of C streams, because the
// engine does its own large-block buffering and needs 64-bit positions on 32-bit Windows.
#pragma once
#include <cstddef>
#include <cstdint>

namespace arj::sys {

// What tells one file version from another: a remembered walk over an archive is reused
// only while the archive still has the same identity.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = -1;
  std::int64_t modified_sec = 0;
  std::int64_t modified_nsec = 0;
  std::int64_t changed_sec = 0;
  std::int64_t changed_nsec = 0;
  bool operator==(const FileIdentity &o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified_sec == o.modified_sec && modified_nsec == o.modified_nsec &&
           changed_sec == o.changed_sec && changed_nsec == o.changed_nsec;
  }
};

// Opens an existing regular file for reading; -1 when it cannot be opened. On a
// case-sensitive file system a path that does not exist as written is looked up again
// without regard to letter case, one component at a time.
int OpenForReading(const char *path);

// Creates (or truncates) a regular file for writing; -1 on failure. Refuses a symbolic link
// or a special file at the path where the platform lets us tell.
int CreateForWriting(const char *path);

bool Identify(int fd, FileIdentity *identity);
bool SeekTo(int fd, std::int64_t position);
// Reads until n bytes arrived or the file ended; returns the count (0 on error).
std::size_t ReadFully(int fd, void *buffer, std::size_t n);
bool WriteFully(int fd, const void *data, std::size_t n);
// False when buffered data could not be committed.
bool Close(int fd);

}  // namespace arj::sys
