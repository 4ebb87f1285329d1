#include "extraction.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "decimal.hpp"
#include "extract_texts.hpp"
#include "temp_replacement.hpp"

namespace neb {

namespace {

constexpr std::int32_t kChunkQsos = 2048;
// Lines of a chunk at their longest: fewer QSOs a chunk when a converted
// mode makes lines long, so the slots stay small whatever Mode.txt holds.
constexpr std::size_t kChunkBytes = 2u << 20;
constexpr std::size_t kLongestLogLine = 1024;  // the log's own fields: about 930 bytes

std::int32_t chunkQsos(const ModeTable* modes) {
  const std::size_t longest = kLongestLogLine + (modes ? modes->longestConversion() : 0);
  return static_cast<std::int32_t>(std::clamp<std::size_t>(kChunkBytes / longest, 1, kChunkQsos));
}
constexpr std::size_t kWorkers = 2;
// Chunk c lives in slot c % kSlots, free once the caller has released chunk
// c - kSlots. The workers take the chunks in turn, with four slots a worker,
// so that one held up (the caller's thread shares its core) does not leave
// the other waiting. Measured against a fixed half of the chunks each and two
// slots a worker: 7% less wall time.
constexpr std::size_t kSlots = 4 * kWorkers;

// What a worker made of QSOs first..end-1: their lines and messages. When
// stopped, QSO end could not be read: error says why, or the record file
// ends there.
struct Chunk {
  struct Note {
    std::int32_t n;
    std::string text;
    std::string caption;
  };
  std::int32_t first = 0;
  std::int32_t end = 0;
  bool stopped = false;
  std::exception_ptr error;
  std::vector<char> bytes;
  std::size_t used = 0;
  std::vector<Note> notes;
  bool ready = false;  // filled and not yet released; guarded by the lock
};

// The decoder's messages, kept with their QSO for the calling thread.
class NoteSink final : public MessageSink {
public:
  void showMessage(std::string_view text, std::string_view caption) override {
    chunk->notes.push_back({n, std::string(text), std::string(caption)});
  }
  Chunk* chunk = nullptr;
  std::int32_t n = 0;
};

// How long the calling thread waits for a chunk before it lets the observer
// answer (the window's Stop and close box) and waits again.
constexpr std::chrono::milliseconds kPatience{40};

// Workers decode chunks of QSOs ahead into the slots; the caller takes them
// in order. Destruction stops and joins the workers.
class Pipeline {
public:
  Pipeline(const HamlogDatabase& db, std::int32_t count, const std::vector<std::string>* prefixes,
           const ModeTable* modes)
      : count_(count), prefixes_(prefixes), modes_(modes),
        chunkQsos_(chunkQsos(modes)),
        chunks_(static_cast<std::size_t>((count + chunkQsos_ - 1) / chunkQsos_)) {
    const std::size_t workers = std::min(kWorkers, chunks_);
    // Every decoder is made here, before any thread runs: a Stop taken while
    // the caller waits closes the database's own handles on this thread.
    for (std::size_t w = 0; w < workers; ++w) workers_[w].decoder = db.newDecoder(workers_[w].sink);
    try {
      for (std::size_t w = 0; w < workers; ++w) {
        try {
          threads_.emplace_back([this, w] { work(w); });
        } catch (const std::system_error&) {
          // One thread does all the chunks; with none, the caller does.
        }
      }
    } catch (...) {
      stop();
      throw;
    }
  }
  ~Pipeline() { stop(); }
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  std::size_t chunks() const { return chunks_; }

  // Chunk c once it is ready; null when it is not ready within patience.
  const Chunk* take(std::size_t c, std::chrono::milliseconds patience) {
    Chunk& k = slots_[c % kSlots];
    if (threads_.empty()) {
      fill(k, first(c), workers_[0]);
      return &k;
    }
    std::unique_lock<std::mutex> hold(lock_);
    if (!changed_.wait_for(hold, patience, [&k] { return k.ready; })) return nullptr;
    return &k;
  }

  void release(std::size_t c) {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      slots_[c % kSlots].ready = false;
      released_ = c + 1;
    }
    changed_.notify_all();
  }

private:
  // Each worker writes its own per QSO: a cache line apart, so that the two
  // threads do not take the line from each other at every QSO.
  struct alignas(64) Worker {
    NoteSink sink;
    std::unique_ptr<QsoDecoder> decoder;
    QsoView qso;
  };

  std::int32_t first(std::size_t c) const { return static_cast<std::int32_t>(c) * chunkQsos_ + 1; }

  void stop() noexcept {
    stopping_ = true;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
  }

  void work(std::size_t w) {
    for (std::size_t c; (c = next_++) < chunks_;) {
      Chunk& k = slots_[c % kSlots];
      {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [&] { return stop_ || c < released_ + kSlots; });
        if (stop_) return;
      }
      fill(k, first(c), workers_[w]);
      {
        const std::lock_guard<std::mutex> hold(lock_);
        k.ready = true;
      }
      changed_.notify_all();
      if (k.stopped) return;
    }
  }

  void fill(Chunk& k, std::int32_t first, Worker& worker) {
    k.first = first;
    k.used = 0;
    k.notes.clear();
    k.stopped = false;
    k.error = nullptr;
    worker.sink.chunk = &k;
    const std::int32_t last = std::min(count_, first + (chunkQsos_ - 1));
    std::int32_t n = first;
    try {
      // A stopped run does not wait for the rest of a slow chunk.
      for (; n <= last && !stopping_.load(std::memory_order_relaxed); ++n) {
        worker.sink.n = n;
        if (!worker.decoder || !worker.decoder->decode(n, worker.qso)) {
          k.stopped = true;
          break;
        }
        const WorkLine line(worker.qso, n, prefixes_, modes_);
        if (k.bytes.size() - k.used < line.maxSize()) k.bytes.resize(std::max(2 * k.bytes.size(), k.used + line.maxSize()));
        char* const start = k.bytes.data() + k.used;
        k.used += static_cast<std::size_t>(line.write(start) - start);
      }
    } catch (...) {
      k.stopped = true;
      k.error = std::current_exception();
    }
    k.end = n;
  }

  const std::int32_t count_;
  const std::vector<std::string>* const prefixes_;
  const ModeTable* const modes_;
  const std::int32_t chunkQsos_;
  const std::size_t chunks_;
  Chunk slots_[kSlots];
  Worker workers_[kWorkers];
  std::atomic<std::size_t> next_{0};  // the chunk a worker takes next
  std::size_t released_ = 0;          // chunks the caller is done with; guarded by the lock
  std::mutex lock_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> threads_;
};

// QSOs 1..recordCount into the temporary file; false when the observer
// stopped the run.
bool extractQsos(HamlogDatabase& db, TempReplacement& temp, const Conversions& conv, RunObserver& observer,
                 RunResult& result) {
  if (db.recordCount <= 0) return true;
  Pipeline pipeline(db, db.recordCount, conv.areaPrefixes, conv.modeTable);
  for (std::size_t c = 0; c < pipeline.chunks(); ++c) {
    const Chunk* ready;
    while (!(ready = pipeline.take(c, kPatience)))
      if (!observer.waiting()) return false;
    const Chunk& k = *ready;
    auto note = k.notes.begin();
    // The QSO that could not be read is announced too, as a one-thread run
    // would before trying it.
    const std::int32_t upTo = k.stopped ? k.end : k.end - 1;
    for (std::int32_t n = k.first; n <= upTo; ++n) {
      if (!observer.beforeQso(n)) return false;
      for (; note != k.notes.end() && note->n == n; ++note) observer.showMessage(note->text, note->caption);
    }
    temp.write(k.bytes.data(), k.used);
    result.written += k.end - k.first;
    if (k.error) std::rethrow_exception(k.error);
    if (k.stopped) {
      // The record file ends early: no line from the previous QSO's fields.
      std::string text(msg::recordFileEnded);
      text += '\n';
      text += msg::headerCount;
      appendDecimal(text, db.recordCount);
      text += msg::countOf;
      appendDecimal(text, result.written);
      text += msg::countWritten;
      observer.showMessage(text, title::app);
      break;
    }
    pipeline.release(c);
  }
  return true;
}

// Runs step on a thread of its own while the observer keeps answering: the
// final flush of a large work file on a USB stick or a network share takes
// seconds, and a window that does not answer for 5 s is marked as hung.
// Where no thread can start, the step runs here. stopAsked is set when the
// observer asks to stop meanwhile, whether the step succeeds or throws.
template <class Step>
void whileAnswering(RunObserver& observer, bool& stopAsked, Step step) {
  std::future<void> done;
  try {
    done = std::async(std::launch::async, step);
  } catch (const std::system_error&) {
    step();
    return;
  }
  while (done.wait_for(kPatience) != std::future_status::ready)
    if (!observer.waiting()) stopAsked = true;
  done.get();
}

}  // namespace

RunResult runExtraction(FileSystem& fs, const ExtractJob& job, RunObserver& observer) {
  RunResult result;
  HamlogDatabase db(fs, observer);
  if (!db.Hamlog_Open(job.hamlogPath)) return result;
  observer.opened(db.recordCount);
  // Held open and locked up to and including the replace, so that a second
  // run on the same file fails at once instead of mixing its lines in.
  TempReplacement temp(fs, job.workPath, job.tempPath, {.locked = true});
  observer.started();
  if (!extractQsos(db, temp, job.conversions, observer, result)) {
    result.outcome = RunResult::Outcome::Stopped;
    return result;
  }
  db.Hamlog_Close();
  observer.beforeReplace();
  bool stopAsked = false;
  whileAnswering(observer, stopAsked, [&temp] { temp.commit(); });
  try {
    whileAnswering(observer, stopAsked, [&temp] { temp.replace(); });
  } catch (const IoError& e) {
    // A stop asked for while a hold was waited for ends the wait; the work
    // file is then as it was, as after any stop.
    if (!stopAsked || e.left() != IoError::Left::Old || !e.keptAt().empty()) throw;
    result.outcome = RunResult::Outcome::Stopped;
    return result;
  }
  result.outcome = RunResult::Outcome::Replaced;
  return result;
}

}  // namespace neb
