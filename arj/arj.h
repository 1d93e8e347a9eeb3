// The ARJ extraction engine: counts the members of an archive and extracts one member at a
// time by its 1-based position, checking each against its CRC-32. Portable: no windows.h.
//
// Results are small integer codes (named in arj/result.h):
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
//
// Member checks run in this order, each ending the call with its code before any output
// file is created: 114, 108, 112, 113, then the name rule (115), which applies whether or
// not an output path is given. 103 follows when the output cannot be created.
//
// Bounds and damaged input:
// - The archive path is upper-cased (archives come from a platform whose names ignore
//   case); where the file system is case-sensitive and that path does not exist, it is
//   looked up again without regard to case, folder by folder. Paths over 511 characters,
//   and output paths over 255, are refused with 103.
// - Stored names are cut at 511 characters and bare names at 255; bare_name_out receives
//   the bare name cut to bare_name_size - 1 characters. A file name position outside the
//   stored name gives an empty bare name (hence 115).
// - A member header that cannot be read before the end marker fails the count with its
//   code (-1 once a member was counted), so a damaged archive never counts as a shorter
//   whole one; an extraction past it gives 1.
// - Bytes past a short basic header read as zero. Packed sizes are unsigned.
// - Code data that would reach outside the decoder's tables (a length count above its
//   alphabet, a zero run past it, a unary length above 16, a one-symbol code outside its
//   alphabet, a tree that would outgrow its nodes) or a match position beyond the
//   26624-byte window ends the member with 102. Positions reaching before the member's
//   first byte read zeros.
// - After a failure, the output file holds the whole 26624-byte windows (or, for a stored
//   member, the whole 4096-byte chunks of the archive) written before it. A write failure,
//   also when the file is closed, is 105.
// - The output file is created or truncated; on POSIX systems a symbolic link or a
//   non-regular file in its place is refused with 103.
//
// Speed: the engine remembers where each member header of the archive last walked lies
// (while the file keeps its device, inode, size and times, and each remembered header still
// reads with its CRC), so extracting member k does not walk members 1..k-1 again. Results,
// codes and the member counter are those of a walk from the first header.
#pragma once
#include <cstddef>

short arj_count_members(const char *archive_path);
short arj_extract_member(const char *archive_path, int index, const char *output_path,
                         char *bare_name_out, size_t bare_name_size);
