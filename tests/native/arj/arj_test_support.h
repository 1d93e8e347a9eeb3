// Helpers for the engine's tests: fixture and scratch paths (the same tests run natively and
// under Wine), whole-file reads and writes, hand-built archives and packed bit streams.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/hand_archive.h"

namespace arjtest {

using Bytes = std::vector<std::uint8_t>;

// Folder of the archives made by the fixture script (KX_TEST_DATA/arj, as the platform
// spells it).
std::string FixtureDir();
// A fresh, empty scratch folder for one test.
std::string ScratchDir(const std::string &name);
std::string Join(const std::string &dir, const std::string &name);
// The running test's fresh scratch folder (named prefix + the test's name), with the paths of
// an archive and of an output file in it.
void MakeTestScratch(const std::string &prefix, std::string *dir, std::string *archive,
                     std::string *out);

bool ReadFile(const std::string &path, Bytes *data);
void WriteFile(const std::string &path, const Bytes &data);
bool FileExists(const std::string &path);
void RemoveFile(const std::string &path);
using kxtest::ToBytes;
// What a text member's bytes become in the file: on Windows a text-mode stream writes each
// line feed as carriage return + line feed.
Bytes AsWrittenText(const Bytes &data);
std::uint32_t Crc(const Bytes &data);

// Hand-made archives come from the tests' one archive writer.
using Member = kxtest::HandMember;
using kxtest::Archive;
using kxtest::EndMarker;
using kxtest::HeaderBytes;
using kxtest::Packed;
using kxtest::Stored;

// Runs check once under every form of the decoders' loops the processor runs (SSE2 in the i686
// build, BMI2 in both x86 builds), with the form named in failures; the automatic choice again
// after.
void ForEachLoopForm(const std::function<void()> &check);

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
