#include "tools/kxpack/member_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "tools/kxpack/file_io.h"

namespace kxpack {
namespace {

// Members read ahead of the writer: eight per thread, so that a thread rarely waits for
// another to hand on a small member (two per thread made it wait for most of them), and no
// more bytes than this in all (on 32-bit builds, a fraction of the address space), bar the
// one to be written next.
constexpr std::size_t kSlotsPerThread = 8;
constexpr std::size_t kInFlightBytes = (sizeof(void *) >= 8 ? 256u : 64u) << 20;
// Room above this is given back once its member is written, not kept for the next one.
constexpr std::size_t kKeptRoom = std::size_t{16} << 20;

std::string ReadFailure(InputRead r, const std::string &path) {
  switch (r) {
    case InputRead::kOk:
      break;
    case InputRead::kTooLarge:
      return path + ": files of 2 GiB or more cannot be packed";
    case InputRead::kUnreadable:
      return "cannot read " + path;
  }
  return std::string();
}

// A member's bytes and what is made of them. Kept for the next member once written: fresh
// room for each would be pages to fault in again, a member's worth at a time.
struct MemberRoom {
  std::string data;
  arjenc::MemberForm form;
};

struct Slot {
  std::unique_ptr<MemberRoom> room;  // from the reading on, until the member is written
  std::string why;                   // empty: made
  std::size_t admitted = 0;
  bool ready = false;
};

class Pipeline {
 public:
  Pipeline(const std::vector<MemberSource> &sources, unsigned threads,
           const arjenc::PackOptions &pack, const MemberTimes &times, arjenc::ArchiveWriter *writer)
      : sources_(sources),
        threads_(threads),
        pack_(pack),
        times_(times),
        writer_(writer),
        slots_(kSlotsPerThread * threads) {}

  bool Run(std::string *why);

 private:
  Slot &SlotOf(std::size_t i) { return slots_[i % slots_.size()]; }
  bool Claimable() const {
    return !stop_ && next_claim_ < sources_.size() && next_claim_ < next_write_ + slots_.size();
  }
  // Reads and makes member i into its slot; the lock is held on entry and on return. Only a
  // thread that does not write waits for room to read into.
  void Make(std::size_t i, arjenc::MemberPacker &packer, std::unique_lock<std::mutex> &lock,
            bool may_wait);
  void Work();

  const std::vector<MemberSource> &sources_;
  const unsigned threads_;
  const arjenc::PackOptions pack_;
  const MemberTimes &times_;
  arjenc::ArchiveWriter *const writer_;
  std::vector<Slot> slots_;

  std::mutex mutex_;
  std::condition_variable changed_;  // a slot made or written, room freed, or stop
  std::size_t next_claim_ = 0;
  std::size_t next_write_ = 0;
  std::size_t in_flight_ = 0;                       // bytes read and not yet written
  std::vector<std::unique_ptr<MemberRoom>> spare_;  // of members written, for the next ones
  bool stop_ = false;
};

void Pipeline::Make(std::size_t i, arjenc::MemberPacker &packer, std::unique_lock<std::mutex> &lock,
                    bool may_wait) {
  Slot &slot = SlotOf(i);
  const MemberSource &source = sources_[i];
  std::string why = source.refused;
  lock.unlock();
  if (why.empty()) {
    InputFile file;
    InputRead read = file.Open(source.path);
    if (read == InputRead::kOk) {
      const std::size_t size = static_cast<std::size_t>(file.size());
      lock.lock();
      changed_.wait(lock, [&] {
        return stop_ || !may_wait || i == next_write_ || in_flight_ + size <= kInFlightBytes;
      });
      if (stop_) return;
      in_flight_ += size;
      slot.admitted = size;
      if (spare_.empty()) {
        slot.room.reset(new MemberRoom);
      } else {
        slot.room = std::move(spare_.back());
        spare_.pop_back();
      }
      lock.unlock();
      read = file.ReadAll(&slot.room->data);
    }
    why = ReadFailure(read, source.path);
    if (why.empty()) {
      const std::string &data = slot.room->data;
      if (!packer.Make(source.name, reinterpret_cast<const std::uint8_t *>(data.data()),
                       data.size(), times_.For(file.mtime()), source.store_only, &slot.room->form))
        why = "cannot pack " + source.path;
    }
  }
  lock.lock();
  slot.why = std::move(why);
  slot.ready = true;
  changed_.notify_all();
}

void Pipeline::Work() {
  arjenc::MemberPacker packer(pack_);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || next_claim_ >= sources_.size() || Claimable(); });
    if (!Claimable()) return;
    Make(next_claim_++, packer, lock, true);
  }
}

bool Pipeline::Run(std::string *why) {
  std::vector<std::thread> workers;
  for (unsigned k = 1; k < threads_; ++k) {
    try {
      workers.emplace_back(&Pipeline::Work, this);
    } catch (const std::system_error &) {
      break;  // fewer threads: this one does the rest
    }
  }
  arjenc::MemberPacker packer(pack_);
  std::unique_lock<std::mutex> lock(mutex_);
  bool ok = true;
  while (next_write_ < sources_.size()) {
    Slot &slot = SlotOf(next_write_);
    // Waiting for the next member, this thread packs one ahead itself rather than idle.
    while (!slot.ready) {
      if (Claimable()) {
        Make(next_claim_++, packer, lock, false);
      } else {
        changed_.wait(lock);
      }
    }
    if (!slot.why.empty()) {
      *why = slot.why;
      ok = false;
      break;
    }
    lock.unlock();
    MemberRoom &room = *slot.room;
    writer_->Add(room.form, reinterpret_cast<const std::uint8_t *>(room.data.data()));
    if (room.data.capacity() > kKeptRoom) std::string().swap(room.data);
    if (room.form.packed_body.capacity() > kKeptRoom) arjenc::Bytes().swap(room.form.packed_body);
    lock.lock();
    spare_.push_back(std::move(slot.room));
    slot.ready = false;
    in_flight_ -= slot.admitted;
    slot.admitted = 0;
    ++next_write_;
    changed_.notify_all();
  }
  stop_ = true;
  changed_.notify_all();
  lock.unlock();
  for (std::thread &t : workers) t.join();
  return ok;
}

}  // namespace

unsigned DefaultThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
}

bool PackInOrder(const std::vector<MemberSource> &sources, unsigned threads,
                 const arjenc::PackOptions &pack, const MemberTimes &times,
                 arjenc::ArchiveWriter *writer, std::string *why) {
  if (sources.empty()) return true;
  // No more threads than members.
  const unsigned most = static_cast<unsigned>(std::min<std::size_t>(sources.size(), kMaxThreads));
  Pipeline pipeline(sources, std::clamp(threads, 1u, most), pack, times, writer);
  return pipeline.Run(why);
}

}  // namespace kxpack
