#include "engine/LibraryBatch.h"

#include <chrono>
#include <numeric>

#include "base/Paths.h"
#include "engine/OutputPath.h"
#include "engine/Targets.h"
#include "engine/library/Trash.h"

namespace wavorax {

std::unique_ptr<SyncSession> SyncSession::Open(const ConversionSettings& settings,
                                               const std::vector<std::string>& sources, bool dryRun,
                                               std::string& error) {
  error.clear();
  if (!settings.SyncOutputs) return nullptr;
  std::string base = LibraryBaseFolder(settings);
  if (base.empty()) {
    error = "Only converting what changed needs an output folder";
    return nullptr;
  }
  if (settings.DestOutputFolderOpt == kFolderPattern) {
    error = library::ValidatePattern(settings.NamePattern);
    if (!error.empty()) return nullptr;
  }
  const std::string extension = ExtensionOfTarget(settings.OutputFormat);
  if (extension.empty()) {
    error = "Unknown output format";
    return nullptr;
  }
  if (base.back() != '/') base += '/';

  std::unique_ptr<SyncSession> s(new SyncSession);
  s->settings_ = settings;
  s->dryRun_ = dryRun;
  s->base_ = base;
  // The custom folder names its outputs after the source, flat or below the mirrored folders.
  const std::string naming = settings.DestOutputFolderOpt == kFolderPattern
                                 ? settings.NamePattern
                                 : (settings.CreateDirs ? "<mirrored>" : "<source name>");
  library::NameOptions options;
  options.fatSafe = settings.FatSafeNames != 0;
  s->naming_ = library::NamingHash(naming, extension.substr(1), options);

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> normal;
  normal.reserve(sources.size());
  for (const std::string& source : sources) normal.push_back(NormalisedAbsolute(source));
  s->state_ = library::SyncState::Load(base);
  const ConversionSettings& own = s->settings_;
  s->plan_ = library::PlanSync(base, s->state_, normal, s->naming_, [&own](const std::string& p) {
    std::string ignored;
    return RelativeOutputName(own, p, ignored);
  });
  s->decisionSeconds_ =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (std::size_t i = 0; i < s->plan_.items.size(); ++i)
    s->itemOf_.emplace(s->plan_.items[i].source, i);

  if (!dryRun) {
    if (!CreateFolderPath(base)) {
      error = "Failed to create folder \"" + base + "\"";
      return nullptr;
    }
    s->journal_ = library::SyncJournal::Open(base, error);
    if (!s->journal_) return nullptr;
  }
  return s;
}

SyncSession::~SyncSession() = default;

const library::SyncItem* SyncSession::Item(const std::string& source) const {
  const auto it = itemOf_.find(NormalisedAbsolute(source));
  return it == itemOf_.end() ? nullptr : &plan_.items[it->second];
}

bool SyncSession::Refreshes(const library::SyncItem& item, const std::string& path) const {
  const std::string relative = RelativeOf(path);
  if (relative.empty()) return false;
  const library::SyncRecord* record = state_.Find(relative);
  return record && record->source == item.source;
}

std::string SyncSession::RelativeOf(const std::string& committed) const {
  if (committed.size() <= base_.size() || committed.compare(0, base_.size(), base_) != 0) return {};
  std::string relative = committed.substr(base_.size());
  return library::IsSafeRelativePath(relative) ? relative : std::string();
}

void SyncSession::Written(const library::SyncItem& item, const std::string& committed,
                          library::Check check) {
  library::SyncItem actual = item;
  actual.output = RelativeOf(committed);
  // An output the documents-folder retry placed is not below the base: nothing to keep.
  if (actual.output.empty()) return;
  const std::optional<library::SyncRecord> record =
      library::RecordOutput(base_, actual, naming_, check);
  std::lock_guard lock(mutex_);
  rewritten_.insert(item.source);
  if (!record) return;
  if (journal_) journal_->Append(*record);
  written_.push_back(*record);
}

void SyncSession::SourceTrashed(const library::SyncItem&, const std::string& committed) {
  const std::string relative = RelativeOf(committed);
  if (relative.empty()) return;
  std::lock_guard lock(mutex_);
  if (journal_) journal_->AppendForget(relative);
  forgotten_.push_back(relative);
}

SyncSession::Outcome SyncSession::Finish(bool cancelled) {
  std::lock_guard lock(mutex_);
  Outcome outcome;
  if (settings_.RemoveOrphans && !cancelled) {
    for (const library::SyncOrphan& orphan : plan_.orphans) {
      if (orphan.why == library::SyncOrphan::Why::Superseded && !rewritten_.count(orphan.source))
        continue;
      const char* why =
          orphan.why == library::SyncOrphan::Why::SourceGone ? "source gone" : "superseded";
      Removal removal;
      removal.output = base_ + orphan.output;
      if (dryRun_) {
        removal.status = std::string("would move to the Trash (") + why + ")";
      } else {
        const library::TrashResult trashed = library::MoveToTrash(removal.output);
        removal.moved = trashed.moved;
        if (trashed.moved) {
          removal.status = std::string("Moved to the Trash (") + why + ")";
          state_.Forget(orphan.output);
        } else {
          removal.status = "Kept: " + trashed.error;
        }
      }
      outcome.removals.push_back(std::move(removal));
    }
  }
  if (dryRun_) return outcome;
  journal_.reset();
  for (const std::string& stale : plan_.stale) state_.Forget(stale);
  for (const library::SyncRecord& record : plan_.renamed) state_.Put(record);
  for (const library::SyncRecord& record : written_) state_.Put(record);
  for (const std::string& output : forgotten_) state_.Forget(output);
  written_.clear();
  forgotten_.clear();
  state_.Save(base_, outcome.error);
  return outcome;
}

namespace {

std::vector<double> LengthsOf(const std::vector<SourceEntry*>& entries) {
  std::vector<double> lengths;
  lengths.reserve(entries.size());
  for (const SourceEntry* e : entries) lengths.push_back(e ? std::max(0, e->durationSeconds) : 0);
  return lengths;
}

}  // namespace

BatchTimeLeft::BatchTimeLeft(const std::vector<SourceEntry*>& entries,
                             library::TimeLeft::Clock clock)
    : lengths_(LengthsOf(entries)),
      estimate_(std::accumulate(lengths_.begin(), lengths_.end(), 0.0), std::move(clock)) {}

void BatchTimeLeft::Progressed(int index, int percent) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= lengths_.size()) return;
  estimate_.Progress(index, lengths_[index] * percent / 100.0);
}

void BatchTimeLeft::Finished(int index, bool converted, int percentDone) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= lengths_.size()) return;
  const double length = lengths_[index];
  estimate_.Finish(index, converted ? length : length * percentDone / 100.0, length);
}

void BatchTimeLeft::Dropped(int index) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= lengths_.size()) return;
  estimate_.Drop(lengths_[index]);
}

std::optional<std::string> BatchTimeLeft::Changed() {
  std::lock_guard lock(mutex_);
  std::string text = estimate_.Text();
  if (text == shown_) return std::nullopt;
  shown_ = text;
  return text;
}

std::string BatchTimeLeft::Text() {
  std::lock_guard lock(mutex_);
  return estimate_.Text();
}

}  // namespace wavorax
