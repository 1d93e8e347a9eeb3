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

// Members read ahead of the writer: several per thread, so that a thread rarely waits for
// another to hand on a small member (a run of small members drains a short queue at once),
// and no more memory for their bytes and packed forms than so much a thread, up to a bound (on
// 32-bit builds, a small part of the address space). The member to be written next is made
// whatever its size, and counts against nothing: the others go on meanwhile. So memory stays
// within the bound and twice the largest member, however large the set.
constexpr std::size_t kSlotsPerThread = 8;
constexpr std::size_t kInFlightPerThread = std::size_t{16} << 20;
constexpr std::size_t kMostInFlight = (sizeof(void *) >= 8 ? 256u : 64u) << 20;
// Room of a member written is kept for the next one, up to this much and this many rooms a
// thread: enough to spare small members the page faults of fresh room.
constexpr std::size_t kKeptRoom = std::size_t{1} << 20;
constexpr std::size_t kKeptRoomsPerThread = 2;

bool TriesPacking(const MemberSource &source, const arjenc::PackOptions &pack) {
  return !source.store_only && pack.method != arjenc::PackMethod::kStored;
}

// The memory a member takes while it is made: its bytes, and a packed form no larger.
std::size_t CostOf(const MemberSource &source, std::int64_t size, const arjenc::PackOptions &pack) {
  return static_cast<std::size_t>(size) * (TriesPacking(source, pack) ? 2 : 1);
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
           const arjenc::PackOptions &pack, const MemberTimes &times, arjenc::ArchiveWriter *writer,
           const MemberWritten &written)
      : sources_(sources),
        threads_(threads),
        pack_(pack),
        times_(times),
        writer_(writer),
        written_(written),
        slots_(kSlotsPerThread * threads),
        in_flight_bound_(std::min(kInFlightPerThread * threads, kMostInFlight)) {}

  bool Run(std::string *why);

 private:
  Slot &SlotOf(std::size_t i) { return slots_[i % slots_.size()]; }
  bool Claimable() const {
    return !stop_ && next_claim_ < sources_.size() && next_claim_ < next_write_ + slots_.size();
  }
  // The writing thread cannot wait for room: it takes on a member only when the room it is
  // planned to need is there, or when it is the next to be written.
  bool WriterMayClaim() const {
    if (!Claimable()) return false;
    const MemberSource &source = sources_[next_claim_];
    return next_claim_ == next_write_ ||
           in_flight_ + CostOf(source, source.size, pack_) <= in_flight_bound_;
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
  const MemberWritten &written_;
  std::vector<Slot> slots_;
  const std::size_t in_flight_bound_;

  std::mutex mutex_;
  std::condition_variable changed_;  // a slot made or written, room freed, or stop
  std::size_t next_claim_ = 0;
  std::size_t next_write_ = 0;
  std::size_t in_flight_ = 0;                       // cost of members admitted, not written
  std::vector<std::unique_ptr<MemberRoom>> spare_;  // of members written, for the next ones
  bool stop_ = false;
};

void Pipeline::Make(std::size_t i, arjenc::MemberPacker &packer, std::unique_lock<std::mutex> &lock,
                    bool may_wait) {
  Slot &slot = SlotOf(i);
  const MemberSource &source = sources_[i];
  std::string why;
  lock.unlock();
  InputFile file;
  InputRead read = file.Open(source.path);
  if (read == InputRead::kOk) {
    const std::size_t cost = CostOf(source, file.size(), pack_);
    lock.lock();
    changed_.wait(lock, [&] {
      return stop_ || !may_wait || i == next_write_ || in_flight_ + cost <= in_flight_bound_;
    });
    if (stop_) return;
    slot.admitted = i == next_write_ ? 0 : cost;
    in_flight_ += slot.admitted;
    if (spare_.empty()) {
      slot.room.reset(new MemberRoom);
    } else {
      slot.room = std::move(spare_.back());
      spare_.pop_back();
    }
    lock.unlock();
    read = file.ReadAll(&slot.room->data);
  }
  why = InputFailure(read, source.path);
  if (why.empty()) {
    MemberRoom &room = *slot.room;
    // Room for the largest packed form at once: growing it would copy it, holding it twice.
    if (TriesPacking(source, pack_)) room.form.packed_body.reserve(room.data.size());
    if (!packer.Make(source.name, reinterpret_cast<const std::uint8_t *>(room.data.data()),
                     room.data.size(), times_.For(file.mtime()), source.store_only, &room.form))
      why = "cannot pack " + source.path;
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
      if (WriterMayClaim()) {
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
    if (!written_(sources_[next_write_], why)) {
      lock.lock();
      ok = false;
      break;
    }
    lock.lock();
    if (spare_.size() < kKeptRoomsPerThread * threads_) spare_.push_back(std::move(slot.room));
    slot.room.reset();
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
                 arjenc::ArchiveWriter *writer, const MemberWritten &written, std::string *why) {
  if (sources.empty()) return true;
  // No more threads than members.
  const unsigned most = static_cast<unsigned>(std::min<std::size_t>(sources.size(), kMaxThreads));
  Pipeline pipeline(sources, std::clamp(threads, 1u, most), pack, times, writer, written);
  return pipeline.Run(why);
}

}  // namespace kxpack
