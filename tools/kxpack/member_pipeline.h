// Reads and packs the files of an archive on several threads and adds them to its writer in
// the order given. Each member is made by one packer from its own bytes alone, so the
// archive is the same bytes whatever the number of threads.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "arjenc/archive_writer.h"
#include "tools/kxpack/member_time.h"

namespace kxpack {

struct MemberSource {
  std::string path;
  std::string name;         // the member's
  bool store_only = false;  // stored whatever the method
  std::int64_t size = 0;    // as planned; what is read counts
};

// Told of each member once it is written, in order; false with a reason stops the packing
// there.
using MemberWritten = std::function<bool(const MemberSource &source, std::string *why)>;

// Threads when not told: one per processor.
unsigned DefaultThreads();
constexpr unsigned kMaxThreads = 64;

// Adds the sources to writer in order, packed with pack and timed by times, on up to threads
// threads (this one among them, which also writes and calls written). False with a reason
// naming the first source, in order, that could not be added, or the reason written gave;
// nothing after it is added.
bool PackInOrder(const std::vector<MemberSource> &sources, unsigned threads,
                 const arjenc::PackOptions &pack, const MemberTimes &times,
                 arjenc::ArchiveWriter *writer, const MemberWritten &written, std::string *why);

}  // namespace kxpack
