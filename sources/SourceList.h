// The rows of sources: probing one file, the column texts, duplicates, sorting and removal.
// Widget-free: the main window and wavorax-cli show it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Paths.h"
#include "base/SourceEntry.h"
#include "decoders/Decoder.h"

namespace wavorax {

enum Column : int {
  kColFile,
  kColLength,
  kColBitRate,
  kColFreq,
  kColChannels,
  kColStatus,
  kColumnCount
};

// The column text of an entry (Status excepted, which the conversion writes).
std::string ColumnText(const SourceEntry& entry, int column);

class CSourceList {
 public:
  explicit CSourceList(DecoderOpener opener);

  enum class AddResult { Added, AlreadyListed, Failed };
  // Probes one file and appends its row. `index` receives the new row's index. A path is
  // already listed when it names the same existing file as a row does now, or has the same
  // normalised path: rows whose files were deleted or replaced since are judged by what
  // their paths name today (this takes every row's identity anew, once per call).
  AddResult AddSourceFile(const std::string& path, int* index = nullptr);

  // For adding many files: RefreshIdentities once before the batch, then IsListed and
  // AddProbed per file, which compare with the identities taken then.
  void RefreshIdentities();
  bool IsListed(const std::string& path) const { return IsListed(IdentityOf(path)); }

  // Probing apart from adding, for adding many files with several threads: Probe touches
  // no list and may run on any thread; AddProbed appends the result in the caller's order.
  static std::optional<SourceEntry> Probe(const DecoderOpener& opener, const std::string& path);
  AddResult AddProbed(const std::string& path, const std::optional<SourceEntry>& probe,
                      int* index = nullptr);
  const DecoderOpener& opener() const { return opener_; }

  int RowCount() const { return static_cast<int>(rows_.size()); }
  SourceEntry& Entry(int row) { return rows_[row].entry; }
  const SourceEntry& Entry(int row) const { return rows_[row].entry; }
  // The columns but Status are made from the entry when asked, so that a row of a long list
  // holds only what cannot be recomputed.
  std::string Text(int row, int column) const {
    return column == kColStatus ? rows_[row].status : ColumnText(rows_[row].entry, column);
  }
  void SetStatus(int row, const std::string& text) { rows_[row].status = text; }

  bool IsSelected(int row) const { return rows_[row].selected; }
  void SetSelected(int row, bool selected) { rows_[row].selected = selected; }
  // Selected rows, top to bottom.
  std::vector<int> SelectedRows() const;

  // False (and nothing removed) when no row is selected or the list is empty; the caller
  // then shows the notice.
  bool RemoveSelected();
  bool RemoveAll();

  // A click on a column header: ascending first, each further click on the same column
  // reverses. Rows added later are appended unsorted.
  void SortByColumn(int column);
  int sortColumn() const { return sortColumn_; }
  bool sortAscending() const { return ascending_; }

 private:
  struct Row {
    SourceEntry entry;
    std::string status;
    bool selected = false;
    FileIdentity identity;  // for the duplicate test, as of the last RefreshIdentities
  };
  bool IsListed(const FileIdentity& identity) const;
  // The index of the rows' identities, kept in step with the rows, so that the duplicate
  // test of a file costs the same however long the list is.
  void Index(const FileIdentity& identity, int delta);
  void Reindex();

  struct FileKey {
    std::uint64_t device, inode;
    bool operator==(const FileKey&) const = default;
  };
  struct FileKeyHash {
    std::size_t operator()(const FileKey& k) const {
      return std::hash<std::uint64_t>()(k.device * 0x9E3779B97F4A7C15ULL ^ k.inode);
    }
  };

  DecoderOpener opener_;
  std::vector<Row> rows_;
  std::unordered_map<std::string, int> byPath_;
  std::unordered_map<FileKey, int, FileKeyHash> byFile_;
  int sortColumn_ = -1;
  bool ascending_ = true;
};

}  // namespace wavorax
