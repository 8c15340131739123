#include "sources/Adding.h"

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/CdTrackPath.h"
#include "base/Paths.h"
#include "decoders/cd/CdDisc.h"

namespace wavorax {

namespace {

// Probes paths on worker threads a bounded distance ahead of the thread that adds them, so
// that the adding thread reports each file as it comes and a cancel stops the workers soon.
class ProbeAhead {
 public:
  ProbeAhead(const DecoderOpener& opener, const std::vector<std::string>& paths, int jobs)
      : opener_(opener),
        paths_(paths),
        results_(paths.size()),
        ready_(paths.size(), 0),
        window_(static_cast<std::size_t>(jobs) * 4) {
    const int threads = std::min<int>(jobs, static_cast<int>(paths.size()));
    for (int t = 0; t < threads; ++t) pool_.emplace_back([this] { Work(); });
  }
  ~ProbeAhead() { Stop(); }

  // Waits up to `slice` for the result of path i; false when it is not there yet.
  bool WaitFor(std::size_t i, std::chrono::milliseconds slice) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, slice, [&] { return ready_[i] != 0; });
  }
  std::optional<SourceEntry> Take(std::size_t i) {
    std::lock_guard lock(mutex_);
    consumed_ = i + 1;
    room_.notify_all();
    return std::move(results_[i]);
  }
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    room_.notify_all();
    for (auto& t : pool_) t.join();
    pool_.clear();
  }

 private:
  void Work() {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex_);
        room_.wait(lock,
                   [&] { return stop_ || next_ >= paths_.size() || next_ < consumed_ + window_; });
        if (stop_ || next_ >= paths_.size()) return;
        i = next_++;
      }
      std::optional<SourceEntry> probe = CSourceList::Probe(opener_, paths_[i]);
      std::lock_guard lock(mutex_);
      results_[i] = std::move(probe);
      ready_[i] = 1;
      done_.notify_all();
    }
  }

  const DecoderOpener& opener_;
  const std::vector<std::string>& paths_;
  std::vector<std::optional<SourceEntry>> results_;
  std::vector<char> ready_;
  const std::size_t window_;
  std::size_t next_ = 0, consumed_ = 0;
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable done_, room_;
  std::vector<std::thread> pool_;
};

}  // namespace

namespace {

// A disc image or a drive stands for its audio tracks, in track order. One that cannot be
// read stays as it is, so that it is reported with the files that failed to load.
std::vector<std::string> WithDiscTracks(const std::vector<std::string>& collected) {
  std::vector<std::string> paths;
  for (const std::string& path : collected) {
    if (IsDiscImagePath(path) || IsBlockDevice(path)) {
      const std::vector<std::string> tracks = ExpandCdTracks(path);
      if (!tracks.empty()) {
        paths.insert(paths.end(), tracks.begin(), tracks.end());
        continue;
      }
    }
    paths.push_back(path);
  }
  return paths;
}

}  // namespace

std::string AddCollectedFiles(CSourceList& list, const std::vector<std::string>& collected,
                              IAddProgress* progress, const AddObserver& onEach, int jobs) {
  const std::vector<std::string> paths = WithDiscTracks(collected);
  const int total = static_cast<int>(paths.size());
  // Rows may name files that were deleted or replaced since they were added.
  list.RefreshIdentities();
  std::unique_ptr<ProbeAhead> ahead;
  if (jobs > 1 && total > 1) ahead = std::make_unique<ProbeAhead>(list.opener(), paths, jobs);
  if (progress) {
    progress->SetRange(total);
    progress->PumpMessages();
  }
  std::string failures;
  int failed = 0;
  for (int i = 0; i < total; ++i) {
    if (progress) {
      progress->SetText("Adding file " + std::to_string(i + 1) + " of " + std::to_string(total) +
                        "...");
      progress->Step();
    }
    int row = -1;
    CSourceList::AddResult result;
    if (ahead) {
      bool cancelled = false;
      while (!ahead->WaitFor(static_cast<std::size_t>(i), std::chrono::milliseconds(20)))
        if ((cancelled = AddingCancelled(progress))) break;
      if (cancelled) break;
      result = list.AddProbed(paths[i], ahead->Take(static_cast<std::size_t>(i)), &row);
    } else {
      result = list.IsListed(paths[i])
                   ? CSourceList::AddResult::AlreadyListed
                   : list.AddProbed(paths[i], CSourceList::Probe(list.opener(), paths[i]), &row);
    }
    if (onEach) onEach(paths[i], result, row);
    if (result == CSourceList::AddResult::Failed) {
      ++failed;
      if (failed <= 10)
        failures += paths[i] + "\n";
      else if (failed == 11)
        failures += "<more files>...\n";
    }
    if (AddingCancelled(progress)) break;
  }
  ahead.reset();
  // Probing many files leaves the decoders' freed buffers in the allocator's per-thread
  // arenas; giving them back keeps a long list's resident size close to what its rows hold.
  ::malloc_trim(0);
  return failures;
}

std::string FailureReport(const std::string& failureText) {
  return "Failed to load the following files.\n\n" + failureText +
         "\nTo get help, please contact <support@quelbrook.example>.";
}

}  // namespace wavorax
