// The engine's one process-wide state and the two walks over an archive. One call at a
// time: the member counter, the bare name and the decoders' code tables carry over from
// one call to the next.
#pragma once
#include <cstddef>
#include <cstdint>

#include "arj/archive_input.h"
#include "arj/bit_input.h"
#include "arj/header.h"
#include "arj/huffman_decoder.h"
#include "arj/limits.h"
#include "arj/member_output.h"
#include "arj/sliding_window.h"
#include "arj/walk_memory.h"

namespace arj {

class ArjEngine {
 public:
  short CountMembers(const char *archive_path);
  short ExtractMember(const char *archive_path, int index, const char *output_path,
                      char *bare_name_out, std::size_t bare_name_size);

 private:
  // kDamaged: a member header before the end marker could not be read (its reported value
  // is in damage_result_).
  enum class Walk { kReached, kEnded, kDamaged, kStale };
  // What ReadHeader gives besides a failure's code (which is never 0 or 1).
  static constexpr int kEndMarker = 0;
  static constexpr int kHeaderRead = 1;
  // ExtractOnce's answer when the remembered headers no longer match the file (no result
  // code is -2).
  static constexpr short kStaleMemory = -2;

  short ExtractOnce(const char *archive_path, int index, const char *output_path);
  bool OpenAndReadMainHeader(const char *archive_path, short *result);
  bool ScanForHeader(std::int64_t *found);
  bool CandidateAt(std::int64_t position);
  int ReadHeader(bool first);
  bool ReadHeaderQuietly();
  bool ReadU16(std::uint16_t *value);
  bool ReadU32(std::uint32_t *value);
  Walk WalkTo(int index);
  short ExtractCurrent(const char *output_path);
  int StoredCopy();
  short ReportFailure(int code);

  bool counting_ = false;
  std::int32_t member_counter_ = 0;
  short damage_result_ = 0;
  char archive_path_[kMaxArchivePath + 1] = {};
  char bare_name_[kMaxBareName + 1] = {};
  std::uint8_t basic_header_[kMaxBasicHeader] = {};
  ArjHeader header_;
  WalkMemory memory_;
  HuffmanTables tables_ = {};
  ArchiveInput archive_;
  MemberOutput output_;
  PackedSource packed_;
  BitInput bits_;
  SlidingWindow window_;
};

}  // namespace arj
