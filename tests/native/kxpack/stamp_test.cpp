// The payload stamp: 13 packed little-endian bytes at offset 0x20 of the image.
#include "base/stamp.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/native/kxpack/support.h"

namespace {

using kx::StampRecord;

TEST(Stamp, DecodesLittleEndianFieldsAtTheirOffsets) {
  const unsigned char bytes[kx::kStampSize] = {0x00, 0xF0, 0x03, 0x00,   // 0x0003F000
                                               0xFA, 0xD0, 0x1E, 0x06,   // 0x061ED0FA
                                               0x00,                     // interactive
                                               0x58, 0x02, 0x00, 0x00};  // 600
  StampRecord s = kx::DecodeStamp(bytes);
  EXPECT_EQ(s.payloadOffset, 0x3F000);
  EXPECT_EQ(s.payloadLength, 0x061ED0FA);
  EXPECT_EQ(s.silent, 0);
  EXPECT_EQ(s.requiredMB, 600);
}

TEST(Stamp, WidensSilentWithItsSign) {
  unsigned char bytes[kx::kStampSize] = {};
  const struct {
    unsigned char stored;
    int widened;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {0x7F, 127}, {0x80, -128}, {0xFF, -1}};
  for (const auto &c : cases) {
    bytes[8] = c.stored;
    EXPECT_EQ(kx::DecodeStamp(bytes).silent, c.widened) << int(c.stored);
  }
}

// What each stored byte asks of a run, read from the stamp as the installer reads it.
TEST(Stamp, SilentByteDecodesIntoWhatTheRunDoes) {
  unsigned char bytes[kx::kStampSize] = {};
  const struct {
    unsigned char stored;
    bool showNoMessages, placeNoCleaner, runHidden;
  } cases[] = {
      {0, false, false, false},   // interactive: messages, cleaner, visible dialog, /STANDARD
      {1, true, true, true},      // silent: nothing shown, no cleaner, hidden dialog, /SILENT
      {2, true, true, false},     // no messages and no cleaner, yet a visible dialog, /STANDARD
      {0xFF, true, true, false},  // -1 once widened: as 2
      {0x81, true, true, false},  // no other value hides the dialog
  };
  for (const auto &c : cases) {
    bytes[8] = c.stored;
    kx::SilentMode mode = kx::DecodeSilent(kx::DecodeStamp(bytes).silent);
    EXPECT_EQ(mode.showNoMessages, c.showNoMessages) << int(c.stored);
    EXPECT_EQ(mode.placeNoCleaner, c.placeNoCleaner) << int(c.stored);
    EXPECT_EQ(mode.runHidden, c.runHidden) << int(c.stored);
  }
  // A value the byte cannot hold, as a caller might pass it: only exactly 1 hides.
  EXPECT_FALSE(kx::DecodeSilent(0x101).runHidden);
  EXPECT_TRUE(kx::DecodeSilent(0x101).showNoMessages);
}

TEST(Stamp, FieldsWithTheTopBitSetReadAsNegative) {
  unsigned char bytes[kx::kStampSize] = {0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x80};
  StampRecord s = kx::DecodeStamp(bytes);
  EXPECT_EQ(s.payloadOffset, INT32_MIN);
  EXPECT_EQ(s.payloadLength, -1);
  EXPECT_EQ(s.requiredMB, INT32_MIN);
}

TEST(Stamp, EncodeWritesEveryByteAndRoundTrips) {
  StampRecord s;
  s.payloadOffset = 0x01020304;
  s.payloadLength = 0x05060708;
  s.silent = -1;
  s.requiredMB = int32_t(0x90A0B0C0u);
  unsigned char bytes[kx::kStampSize + 1];
  std::memset(bytes, 0xAA, sizeof bytes);
  kx::EncodeStamp(s, bytes);
  const unsigned char want[kx::kStampSize] = {0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06,
                                              0x05, 0xFF, 0xC0, 0xB0, 0xA0, 0x90};
  EXPECT_EQ(0, std::memcmp(bytes, want, kx::kStampSize));
  EXPECT_EQ(bytes[kx::kStampSize], 0xAA) << "wrote past the 13 bytes";
  StampRecord back = kx::DecodeStamp(bytes);
  EXPECT_EQ(back.payloadOffset, s.payloadOffset);
  EXPECT_EQ(back.payloadLength, s.payloadLength);
  EXPECT_EQ(back.silent, -1);
  EXPECT_EQ(back.requiredMB, s.requiredMB);
}

TEST(Stamp, ReadPayloadStampReadsFromOffset32OfTheFile) {
  std::string image(0x200, 'x');
  const char stamp[] = "\x10\x00\x00\x00\x20\x00\x00\x00\x81\x00\x00\x01\x00";
  image.replace(kx::kStampOffset, kx::kStampSize, stamp, kx::kStampSize);
  const std::string path = kxtest::FreshFolder() + "/image.exe";
  kxtest::WriteFile(path, image);
  StampRecord s;
  ASSERT_TRUE(kx::ReadPayloadStamp(path.c_str(), &s));
  EXPECT_EQ(s.payloadOffset, 0x10);
  EXPECT_EQ(s.payloadLength, 0x20);
  EXPECT_EQ(s.silent, -127);
  EXPECT_EQ(s.requiredMB, 0x10000);
}

TEST(Stamp, ReadPayloadStampFailsWithoutTouchingTheOutput) {
  StampRecord s;
  s.payloadOffset = 7;
  s.silent = 9;
  EXPECT_FALSE(kx::ReadPayloadStamp(nullptr, &s));
  const std::string missing = kxtest::FreshFolder() + "/missing.exe";
  EXPECT_FALSE(kx::ReadPayloadStamp(missing.c_str(), &s));
  EXPECT_FALSE(kx::ReadPayloadStamp(missing.c_str(), nullptr));
  EXPECT_EQ(s.payloadOffset, 7);
  EXPECT_EQ(s.silent, 9);
}

TEST(Stamp, ReadPayloadStampOfAShortFileFillsWhatIsMissingWithZeros) {
  const std::string dir = kxtest::FreshFolder();
  std::string image(0x26, '\0');
  image[0x20] = 0x44;
  image[0x24] = 0x55;
  image[0x25] = 0x01;
  kxtest::WriteFile(dir + "/short.exe", image);
  StampRecord s;
  s.silent = 5;
  s.requiredMB = 5;
  ASSERT_TRUE(kx::ReadPayloadStamp((dir + "/short.exe").c_str(), &s));
  EXPECT_EQ(s.payloadOffset, 0x44);
  EXPECT_EQ(s.payloadLength, 0x155);  // the two bytes present, the rest zero
  EXPECT_EQ(s.silent, 0);
  EXPECT_EQ(s.requiredMB, 0);

  kxtest::WriteFile(dir + "/empty.exe", "");
  ASSERT_TRUE(kx::ReadPayloadStamp((dir + "/empty.exe").c_str(), &s));
  EXPECT_EQ(s.payloadOffset, 0);
  EXPECT_EQ(s.payloadLength, 0);
}

}  // namespace
