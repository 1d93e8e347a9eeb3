// Helpers for the engine's tests: fixture and scratch paths (the same tests run natively and
// under Wine), whole-file reads and writes, and a small writer of hand-built archives and
// packed bit streams.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace arjtest {

using Bytes = std::vector<std::uint8_t>;

// Folder of the archives made by the fixture script (KX_TEST_DATA/arj, as the platform
// spells it).
std::string FixtureDir();
// A fresh, empty scratch folder for one test.
std::string ScratchDir(const std::string &name);
std::string Join(const std::string &dir, const std::string &name);

bool ReadFile(const std::string &path, Bytes *data);
void WriteFile(const std::string &path, const Bytes &data);
bool FileExists(const std::string &path);
void RemoveFile(const std::string &path);
Bytes ToBytes(const std::string &text);
// What a text member's bytes become in the file: on Windows a text-mode stream writes each
// line feed as carriage return + line feed.
Bytes AsWrittenText(const Bytes &data);
std::uint32_t Crc(const Bytes &data);

// One member header (or the main header) and the data that follows it.
struct Member {
  std::string name = "FILE.BIN";
  std::uint8_t first_part_size = 30;
  std::uint8_t archiver_version = 11;
  std::uint8_t min_version = 1;
  std::uint8_t host_system = 0;
  std::uint8_t flags = 0;
  std::uint8_t method = 0;
  std::uint8_t file_type = 0;
  std::uint32_t unpacked_size = 0;
  std::uint32_t file_crc = 0;
  std::uint16_t name_position = 0;
  std::string comment;
  std::vector<Bytes> extended;  // extended headers, each written with a junk CRC
  Bytes data;                   // packed bytes
  bool has_packed_size = false;
  std::uint32_t packed_size = 0;  // when has_packed_size: written instead of data.size()
  bool break_header_crc = false;
};

// A stored member with the right sizes and CRC.
Member Stored(const std::string &name, const Bytes &content);
// A packed member of the given method with the right unpacked size and CRC.
Member Packed(const std::string &name, std::uint8_t method, const Bytes &packed,
              const Bytes &content);

Bytes HeaderBytes(const Member &m);
Bytes EndMarker();
// prefix + main header + members + end marker.
Bytes Archive(const std::vector<Member> &members, const Bytes &prefix = {});

// Writes bits most significant first, as the decoders read them.
class BitWriter {
 public:
  void Put(std::uint32_t value, unsigned bits);
  Bytes Finish() const;  // pads the last byte with zeros

 private:
  Bytes out_;
  unsigned used_ = 0;  // bits used in the last byte
};

}  // namespace arjtest
