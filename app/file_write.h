// Files that start-up writes into the work folder, with the C library's low-level calls.
#pragma once

// Opens a file for reading and writing, created if missing, binary, not truncated,
// permission read and write. A descriptor, or -1.
int OpenForWriting(const char *path);

// Writes all of n bytes; false on a short or failed write (a full disk, for one).
bool WriteAll(int fd, const char *data, unsigned n);
