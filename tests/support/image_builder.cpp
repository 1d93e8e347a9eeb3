#include "support/image_builder.h"

#include "arj/crc32.h"
#include "support/win_harness.h"

namespace kxtest {

std::string ProgramPath() { return WinePath(KX_KXUNPACK_EXE); }

std::string PayloadBytes(std::size_t length, unsigned seed) {
  std::string out(length, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char &c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return out;
}

namespace {

void Put16(std::string &out, unsigned v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char(v >> 8));
}
void Put32(std::string &out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One framed header: id, size, basic header (fixed part, name, empty comment), its CRC, and
// an empty list of extended headers.
std::string Header(std::uint8_t fileType, std::uint32_t size, std::uint32_t crc,
                   const std::string &name) {
  std::string basic;
  basic += char(30);  // first-part size
  basic += char(11);  // archiver version
  basic += char(1);   // minimum version to extract
  basic += char(0);   // host system
  basic += char(0);   // flags
  basic += char(0);   // method: stored
  basic += char(fileType);
  basic += char(0);
  Put32(basic, 0x5A2E6B21);  // date and time
  Put32(basic, size);        // packed size
  Put32(basic, size);        // unpacked size
  Put32(basic, crc);
  Put16(basic, 0);  // file name position
  Put16(basic, 0644);
  Put16(basic, 0);
  basic += name + '\0' + '\0';
  std::string out = "\x60\xEA";
  Put16(out, static_cast<unsigned>(basic.size()));
  out += basic;
  Put32(out, arj::Crc32(basic.data(), basic.size()));
  Put16(out, 0);
  return out;
}

}  // namespace

std::string StoredArchive(const std::string &memberName, const std::string &bytes) {
  return StoredArchive({{memberName, bytes}});
}

std::string StoredArchive(const std::vector<std::pair<std::string, std::string>> &members) {
  std::string archive = Header(2, 0, 0, "PAYLOAD.ARJ");
  for (const auto &member : members) {
    const std::string &bytes = member.second;
    archive += Header(0, static_cast<std::uint32_t>(bytes.size()),
                      arj::Crc32(bytes.data(), bytes.size()), member.first);
    archive += bytes;
  }
  archive += std::string("\x60\xEA\0\0", 4);
  return archive;
}

bool WriteImage(const std::string &path, const ImageSpec &spec) {
  std::string image;
  if (!ReadFileBytes(ProgramPath(), &image)) return false;
  kx::StampRecord stamp;
  stamp.payloadOffset = static_cast<std::int32_t>(image.size());
  stamp.payloadLength =
      spec.overrideLength ? spec.payloadLength : static_cast<std::int32_t>(spec.payload.size());
  stamp.silent = spec.silent;
  stamp.requiredMB = static_cast<std::int32_t>(spec.requiredMB);
  kx::EncodeStamp(stamp, reinterpret_cast<unsigned char *>(&image[kx::kStampOffset]));
  return WriteFileBytes(path, image + spec.payload + spec.trailer);
}

}  // namespace kxtest
