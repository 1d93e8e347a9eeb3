// libFuzzer harness over the encoder, checked by the engine: the input is cut into one to
// three members, packed into an archive with each method (stored, 1 and 4), with and without
// --best, and every member must come back byte for byte through both entry points of arj/.
// The first bytes choose the cut: a count byte, then two 16-bit fractions of the rest.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "arj/arj.h"
#include "arjenc/archive_writer.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace {

constexpr std::size_t kCutBytes = 5;  // the count byte and two fractions
constexpr unsigned kMaxMembers = 3;
constexpr std::uint32_t kMemberTime = 0x5A2F6000;  // any valid MS-DOS time

struct Piece {
  const std::uint8_t *data;
  std::size_t size;
};

// The members the input stands for: its bytes after the cut bytes, cut where they say.
std::vector<Piece> Members(const std::uint8_t *data, std::size_t size) {
  if (size < kCutBytes) return {Piece{data, size}};
  const unsigned count = 1 + data[0] % kMaxMembers;
  const std::uint8_t *const rest = data + kCutBytes;
  const std::size_t n = size - kCutBytes;
  std::size_t cuts[kMaxMembers + 1] = {0, n, n, n};
  for (unsigned k = 1; k < count; ++k) {
    const unsigned fraction = data[2 * k - 1] | data[2 * k] << 8;
    cuts[k] = n * fraction >> 16;
  }
  if (count == 3 && cuts[2] < cuts[1]) std::swap(cuts[1], cuts[2]);
  std::vector<Piece> members;
  for (unsigned k = 0; k < count; ++k)
    members.push_back(Piece{rest + cuts[k], cuts[k + 1] - cuts[k]});
  return members;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string &path) {
  std::vector<std::uint8_t> bytes;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) std::abort();
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) != 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string &archive = fuzz::InputFile("pack", "packed.arj");
  const std::string output = archive + ".out";
  const std::vector<Piece> members = Members(data, size);
  static constexpr arjenc::PackMethod kMethods[] = {
      arjenc::PackMethod::kStored, arjenc::PackMethod::kHuffman, arjenc::PackMethod::kFast};
  for (const arjenc::PackMethod method : kMethods) {
    for (const bool best : {false, true}) {
      arjenc::MemorySink sink;
      arjenc::ArchiveWriter writer("PACKED.ARJ", arjenc::PackOptions{method, best}, &sink);
      for (std::size_t k = 0; k < members.size(); ++k) {
        const std::string name = "M" + std::to_string(k + 1) + ".BIN";
        if (!writer.Add(name, members[k].data, members[k].size, kMemberTime, false)) std::abort();
      }
      writer.Finish();
      fuzz::WriteWholeFile(archive, sink.bytes.data(), sink.bytes.size());
      if (arj_count_members(archive.c_str()) != static_cast<short>(members.size())) std::abort();
      for (std::size_t k = 0; k < members.size(); ++k) {
        char bare[16];
        if (arj_extract_member(archive.c_str(), static_cast<int>(k + 1), output.c_str(), bare,
                               sizeof bare) != 0)
          std::abort();
        const std::vector<std::uint8_t> back = ReadWholeFile(output);
        const Piece &m = members[k];
        if (back.size() != m.size || (m.size && std::memcmp(back.data(), m.data, m.size) != 0))
          std::abort();
      }
    }
  }
  return 0;
}
