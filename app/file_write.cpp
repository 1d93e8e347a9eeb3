#include "app/file_write.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

int OpenForWriting(const char *path) {
  return _open(path, _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}

bool WriteAll(int fd, const char *data, unsigned n) {
  while (n > 0) {
    int written = _write(fd, data, n);
    if (written <= 0) return false;
    data += written;
    n -= static_cast<unsigned>(written);
  }
  return true;
}
