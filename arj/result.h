// The engine's result codes by name. arj/arj.h lists them as the contract of the two entry
// points; everything that makes, passes on or tests a code uses these names. Portable.
#pragma once

namespace arj {

enum Result : short {
  kCountFailed = -1,  // counting mode: any failure once an earlier call left the counter above 0
  kOk = 0,            // the member was written and its CRC matched
  kNoSuchMember = 1,  // the archive has no member at the position asked for

  // The archive: found, opened, its headers read.
  kEmptyArchive = 100,    // the first header found is an end marker
  kBadHeader = 101,       // a later header lacks the id, or a basic header is too long
  kCannotOpen = 103,      // the archive cannot be opened, or the output file cannot be created
  kReadFailure = 104,     // the archive ends early or cannot be read
  kHeaderCrcError = 109,  // a basic header differs from its CRC
  kNotAnArchive = 111,    // no header within the scan limit, or the main header lacks the id

  // A member, in the order its checks run before the output is created (then kCannotOpen).
  kVersionTooNew = 114,
  kGarbledMember = 108,
  kUnsupportedMethod = 112,
  kUnsupportedFileType = 113,
  kUnsafeMemberName = 115,  // see arj/member_name.h

  // Unpacking a member.
  kBadCodeData = 102,  // code lengths or positions outside the decoder's tables
  kWriteFailure = 105,
  kDataCrcError = 106,
  kOutOfMemory = 110,  // no work buffer (the engine's buffers are fixed: not raised today)
};
// 107 is not used.

}  // namespace arj
