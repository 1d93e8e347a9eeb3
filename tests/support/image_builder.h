// Builds installation images for the start-up tests: the real program as stub, a payload,
// and the stamp written as the image builder writes it.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/stamp.h"

namespace kxtest {

// The built program (kxunpack.exe) as a Windows path.
std::string ProgramPath();

// Deterministic payload bytes of the given length.
std::string PayloadBytes(std::size_t length, unsigned seed = 1);

// An ARJ archive holding one stored member, made by the encoder library: a payload whose
// unpacking shows the copy was exact.
std::string StoredArchive(const std::string &memberName, const std::string &bytes);
// The same with several stored members, in order: {name, bytes}.
std::string StoredArchive(const std::vector<std::pair<std::string, std::string>> &members);

// Writes stub + payload + trailer to path, with the stamp. Offsets and lengths in the stamp
// default to the real ones; the caller may override them to make broken images.
struct ImageSpec {
  std::string payload;
  std::string trailer;  // bytes after the payload (padding, a certificate table, anything)
  int silent = 0;
  std::uint32_t requiredMB = 0;
  bool overrideLength = false;
  std::int32_t payloadLength = 0;
};
bool WriteImage(const std::string &path, const ImageSpec &spec);

}  // namespace kxtest
