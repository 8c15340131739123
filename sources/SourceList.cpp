#include "sources/SourceList.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/CdTrackPath.h"
#include "base/Paths.h"
#include "decoders/SourceType.h"

namespace wavorax {

std::string ColumnText(const SourceEntry& e, int column) {
  char buf[64];
  switch (column) {
    case kColFile:
      return FileNameOf(e.path);
    case kColLength:
      if (e.sourceType == kSourceAmr) return {};
      std::snprintf(buf, sizeof buf, "%02d:%02d", e.durationSeconds / 60, e.durationSeconds % 60);
      return buf;
    case kColBitRate:
      if (e.sourceType == kSourceAmr) return {};
      std::snprintf(buf, sizeof buf, "%d kbps", e.bitrateKbps);
      return buf;
    case kColFreq:
      std::snprintf(buf, sizeof buf, "%d Hz", e.sampleRate);
      return buf;
    case kColChannels:
      if (e.sourceType == kSourceMpeg) {
        static const char* const kModes[] = {"Stereo", "J-Stereo", "Dual Channel", "Mono"};
        return e.channelMode >= 0 && e.channelMode <= 3 ? kModes[e.channelMode] : "";
      }
      if (e.channels <= 1) return "Mono";
      if (e.channels == 2) return "Stereo";
      return std::to_string(e.channels);
    default:
      return {};
  }
}

CSourceList::CSourceList(DecoderOpener opener) : opener_(std::move(opener)) {}

bool CSourceList::IsListed(const FileIdentity& identity) const {
  // A file already listed under any name (a link, another spelling of the path) is not
  // listed twice.
  if (byPath_.count(identity.normalPath)) return true;
  return identity.exists && byFile_.count({identity.device, identity.inode});
}

void CSourceList::Index(const FileIdentity& identity, int delta) {
  const auto step = [delta](auto& map, const auto& key) {
    if ((map[key] += delta) <= 0) map.erase(key);
  };
  step(byPath_, identity.normalPath);
  if (identity.exists) step(byFile_, FileKey{identity.device, identity.inode});
}

void CSourceList::Reindex() {
  byPath_.clear();
  byFile_.clear();
  for (const Row& row : rows_) Index(row.identity, 1);
}

void CSourceList::RefreshIdentities() {
  for (Row& row : rows_) row.identity = IdentityOf(row.entry.path);
  Reindex();
}

std::optional<SourceEntry> CSourceList::Probe(const DecoderOpener& opener,
                                              const std::string& path) {
  // Only regular files are probed: a FIFO or a device named like audio would block the
  // probe or never end. A disc's track is no file, and an image stands only for its tracks.
  struct stat st {};
  const bool statted = ::stat(path.c_str(), &st) == 0;
  // A conversion's output still being written is no source, nor one a killed run left.
  if (!opener || IsDiscImagePath(path) || IsTemporaryOutputName(FileNameOf(path)))
    return std::nullopt;
  if (statted ? !S_ISREG(st.st_mode) : !IsCdTrackPath(path)) return std::nullopt;

  const int type = SourceTypeOf(path);
  std::unique_ptr<CDecoder> decoder = opener(type, path, 0);
  if (!decoder) return std::nullopt;
  SourceEntry e;
  e.path = path;
  e.sourceType = type;
  e.durationSeconds = decoder->GetDuration();
  e.sampleRate = decoder->GetSampleRate();
  e.bitrateKbps = decoder->GetBitrate();
  if (type == kSourceMpeg)
    e.channelMode = decoder->GetChannelMode();
  else
    e.channels = decoder->GetChannels();
  decoder->Close();
  return e;
}

CSourceList::AddResult CSourceList::AddProbed(const std::string& path,
                                              const std::optional<SourceEntry>& probe, int* index) {
  FileIdentity identity = IdentityOf(path);
  if (IsListed(identity)) return AddResult::AlreadyListed;
  if (!probe) return AddResult::Failed;
  Row row;
  row.entry = *probe;
  row.identity = std::move(identity);
  Index(row.identity, 1);
  rows_.push_back(std::move(row));
  if (index) *index = RowCount() - 1;
  return AddResult::Added;
}

CSourceList::AddResult CSourceList::AddSourceFile(const std::string& path, int* index) {
  RefreshIdentities();
  if (IsListed(IdentityOf(path))) return AddResult::AlreadyListed;
  return AddProbed(path, Probe(opener_, path), index);
}

std::vector<int> CSourceList::SelectedRows() const {
  std::vector<int> out;
  for (int i = 0; i < RowCount(); ++i)
    if (rows_[i].selected) out.push_back(i);
  return out;
}

bool CSourceList::RemoveSelected() {
  const std::size_t before = rows_.size();
  for (const Row& r : rows_)
    if (r.selected) Index(r.identity, -1);
  std::erase_if(rows_, [](const Row& r) { return r.selected; });
  return rows_.size() != before;
}

bool CSourceList::RemoveAll() {
  if (rows_.empty()) return false;
  rows_.clear();
  byPath_.clear();
  byFile_.clear();
  return true;
}

namespace {

enum class SortKind { Text, Number, MinutesSeconds };

SortKind KindOf(int column) {
  switch (column) {
    case kColLength:
      return SortKind::MinutesSeconds;
    case kColBitRate:
    case kColFreq:
      return SortKind::Number;
    default:
      return SortKind::Text;
  }
}

// Negative, zero or positive, as the list view's comparison callback answers.
int Compare(SortKind kind, const std::string& a, const std::string& b) {
  switch (kind) {
    case SortKind::Text: {
      const int c = std::strcoll(a.c_str(), b.c_str());
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    case SortKind::Number: {
      const double x = std::strtod(a.c_str(), nullptr), y = std::strtod(b.c_str(), nullptr);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case SortKind::MinutesSeconds: {
      const auto ca = a.find(':'), cb = b.find(':');
      // A text without a colon (an AMR row's empty cell) is equal to anything.
      if (ca == std::string::npos || cb == std::string::npos) return 0;
      const long x = std::atol(a.c_str()) * 60 + std::atol(a.c_str() + ca + 1);
      const long y = std::atol(b.c_str()) * 60 + std::atol(b.c_str() + cb + 1);
      return x < y ? -1 : x > y ? 1 : 0;
    }
  }
  return 0;
}

// A stable bottom-up merge sort. "Equal to anything" is not a strict weak ordering, which
// std::sort may answer with reads outside the range; a merge only ever compares elements of
// the two halves it is merging, so it stays within bounds whatever the comparison says.
template <typename T, typename Less>
void MergeSort(std::vector<T>& v, Less less) {
  std::vector<T> tmp(v.size());
  for (std::size_t width = 1; width < v.size(); width *= 2) {
    for (std::size_t lo = 0; lo < v.size(); lo += 2 * width) {
      const std::size_t mid = std::min(lo + width, v.size()),
                        hi = std::min(lo + 2 * width, v.size());
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) tmp[k++] = less(v[j], v[i]) ? std::move(v[j++]) : std::move(v[i++]);
      while (i < mid) tmp[k++] = std::move(v[i++]);
      while (j < hi) tmp[k++] = std::move(v[j++]);
    }
    v.swap(tmp);
  }
}

}  // namespace

void CSourceList::SortByColumn(int column) {
  if (column < 0 || column >= kColumnCount) return;
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  const SortKind kind = KindOf(column);
  // The keys are made once, and the rows are sorted as indices and moved once, so that a long
  // list needs no second copy of its rows while it sorts.
  std::vector<std::string> keys(rows_.size());
  std::vector<int> order(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    keys[i] = Text(static_cast<int>(i), column);
    order[i] = static_cast<int>(i);
  }
  MergeSort(order, [&](int a, int b) { return Compare(kind, keys[a], keys[b]) < 0; });
  keys = {};
  if (!ascending_) std::reverse(order.begin(), order.end());
  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (const int i : order) sorted.push_back(std::move(rows_[i]));
  rows_.swap(sorted);
}

}  // namespace wavorax
