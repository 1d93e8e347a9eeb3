// Writes one ARJ archive to a sink: the main header, each member packed or stored behind its
// header, and the end marker.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "arjenc/archive_sink.h"
#include "arjenc/compress.h"
#include "arjenc/header_bytes.h"
#include "arjenc/member_packer.h"

namespace arjenc {

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
  // Adds a member made by a packer of its own; data: the member's bytes (its body when it
  // was stored).
  void Add(const MemberForm &form, const std::uint8_t *data);

  // For a member the caller writes to the sink itself, header and body, one too large to
  // hold (an archive made in place): passes on everything added before it. Its time then
  // counts toward the main header's through NoteMemberTime.
  void PassOnPending() { Flush(); }
  void NoteMemberTime(std::uint32_t dos_time);

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
  ArchiveSink *sink_;
  // What the sink has yet to get, passed on in large pieces. It starts with room for the
  // main header: its size does not depend on the time it carries, rewritten on Finish.
  Bytes pending_;
  MemberPacker packer_;
  MemberForm form_;  // the member being added, its room kept from member to member
  std::uint32_t newest_time_ = 0;
};

}  // namespace arjenc
