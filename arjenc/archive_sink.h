// Where an archive's bytes go as the writer makes them, so that a large archive need not be
// held whole in memory.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "arjenc/header_bytes.h"

namespace arjenc {

class ArchiveSink {
 public:
  virtual void Append(const std::uint8_t *data, std::size_t n) = 0;
  // Writes n bytes over the first n appended: the main header, once the members are known.
  virtual void RewriteStart(const std::uint8_t *data, std::size_t n) = 0;

 protected:
  ~ArchiveSink() = default;
};

// Keeps the archive in memory, in bytes.
class MemorySink final : public ArchiveSink {
 public:
  void Append(const std::uint8_t *data, std::size_t n) override {
    bytes.insert(bytes.end(), data, data + n);
  }
  void RewriteStart(const std::uint8_t *data, std::size_t n) override {
    std::copy(data, data + n, bytes.begin());
  }

  Bytes bytes;
};

}  // namespace arjenc
