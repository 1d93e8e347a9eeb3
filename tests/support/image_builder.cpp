#include "support/image_builder.h"

#include "arjenc/archive_writer.h"
#include "arjenc/dos_time.h"
#include "support/noise.h"
#include "support/win_harness.h"

namespace kxtest {
namespace {

constexpr std::int64_t kMemberTime = 1700000000;  // any fixed moment: the images stay the same

}  // namespace

std::string ProgramPath() { return WinePath(KX_KXUNPACK_EXE); }

std::string PayloadBytes(std::size_t length, unsigned seed) { return NoiseBytes(seed, length); }

std::string StoredArchive(const std::string &memberName, const std::string &bytes) {
  return StoredArchive({{memberName, bytes}});
}

std::string StoredArchive(const std::vector<std::pair<std::string, std::string>> &members) {
  arjenc::PackOptions stored;
  stored.method = arjenc::PackMethod::kStored;
  arjenc::MemorySink archive;
  arjenc::ArchiveWriter writer("PAYLOAD.ARJ", stored, &archive);
  for (const auto &member : members) {
    writer.Add(member.first, reinterpret_cast<const std::uint8_t *>(member.second.data()),
               member.second.size(), arjenc::DosTimeUtc(kMemberTime), true);
  }
  writer.Finish();
  return std::string(archive.bytes.begin(), archive.bytes.end());
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
