// The engine's result codes by name. arj/arj.h lists them as the contract of the two entry
// points; everything that makes, passes on or tests a code uses these names. Portable.
#pragma once

namespace arj {

enum Result : short {
  kCountFailed = -1,  // a failure in counting mode after an earlier call left the counter above 0
  kOk = 0,            // member written and its CRC matched
  kNoSuchMember = 1,  // no member at the position asked for
  kEmptyArchive = 100,
  kBadHeader = 101,
  kBadCodeData = 102,  // code lengths or positions the decoder's tables cannot take
  kCannotOpen = 103,
  kReadFailure = 104,
  kWriteFailure = 105,
  kDataCrcError = 106,
  // 107 is not used.
  kGarbledMember = 108,
  kHeaderCrcError = 109,
  kOutOfMemory = 110,
  kNotAnArchive = 111,
  kUnsupportedMethod = 112,
  kUnsupportedFileType = 113,
  kVersionTooNew = 114,
  kUnsafeMemberName = 115,
};

}  // namespace arj
