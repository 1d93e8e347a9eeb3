// The ARJ extraction engine: counts the members of an archive and extracts one member at a
// time by its 1-based position, checking each against its CRC-32. Portable: no windows.h.
//
// Results are small integer codes:
//   0    member written and its CRC matched (arj_extract_member)
//   1    no member at that position (arj_extract_member)
//   100  empty archive             101  bad header            102  bad code data
//   103  cannot open               104  read failure          105  write failure
//   106  data CRC error            108  garbled member        109  header CRC error
//   110  out of memory             111  not an archive        112  unsupported method
//   113  unsupported file type     114  version too new
//   115  unsafe member name: the bare name is empty, "." or "..", or holds '\\', '/' or ':'
//  -1    a failure in counting mode after an earlier call left the member counter above 0
// One call at a time: the engine keeps process-wide state between calls.
#pragma once
#include <cstddef>

short arj_count_members(const char *archive_path);
short arj_extract_member(const char *archive_path, int index, const char *output_path,
                         char *bare_name_out, size_t bare_name_size);
