// Writes one ARJ archive to a sink: the main header, each member packed or stored behind its
// header, and the end marker.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "arjenc/archive_sink.h"
#include "arjenc/compress.h"
#include "arjenc/header_bytes.h"
#include "arjenc/match_finder.h"

namespace arjenc {

// Members of 2 GiB or more do not fit the engine's signed sizes.
constexpr std::size_t kMaxMemberSize = 0x7FFFFFFF;

class ArchiveWriter {
 public:
  // archive_name goes into the main header; options say how members are packed. The sink
  // must outlive the writer.
  ArchiveWriter(std::string archive_name, PackOptions options, ArchiveSink *sink);

  // Adds a member under name with its MS-DOS time. It is packed when the packer makes it
  // smaller, else stored; store_only stores it anyway (archives in archives gain nothing).
  // False, nothing added, when the name or the size cannot be framed.
  bool Add(const std::string &name, const std::uint8_t *data, std::size_t size,
           std::uint32_t dos_time, bool store_only);

  // Ends the archive, once: the writer is spent after it. The main header takes the newest
  // member time (the MS-DOS epoch when there are no members), so the archive depends only on
  // its members.
  void Finish();
  // The time the main header carries.
  std::uint32_t time() const;

 private:
  Bytes MainHeader() const;
  void Flush();

  std::string archive_name_;
  PackOptions options_;
  ArchiveSink *sink_;
  // What the sink has yet to get, passed on in large pieces. It starts with room for the
  // main header: its size does not depend on the time it carries, rewritten on Finish.
  Bytes pending_;
  Bytes packed_;        // one member's packed form, its room kept from member to member
  MatchTables tables_;  // shared by the members' packing
  std::uint32_t newest_time_ = 0;
};

}  // namespace arjenc
