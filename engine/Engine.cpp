#include "engine/Engine.h"

#include <cstdint>

#include "engine/OutputPath.h"
#include "base/Paths.h"

namespace wavorax {

std::string OverallText(int targetFormat, int number, int count) {
  const char* target = "MP3";
  switch (targetFormat) {
    case kTargetWav: target = "WAV"; break;
    case kTargetAac: target = "AAC"; break;
    case kTargetM4a: target = "M4A"; break;
    case kTargetMp4: target = "MP4"; break;
    case kTargetM4b: target = "M4B"; break;
    default: break;
  }
  return "Converting " + std::to_string(number) + " of " + std::to_string(count) +
         " file(s) to " + target + "...";
}

std::string FileText(const std::string& name, int percent) {
  return "Converting " + name + "..." + std::to_string(percent) + "%";
}

bool JudgeConversion(int pipelineResult, const SourceEntry& entry) {
  std::uint64_t size = 0;
  // A pipeline that claims success but left nothing behind did not convert the file.
  const bool converted =
      pipelineResult != 0 && QueryFileSize(entry.outputPath, size) && size != 0;
  // A pipeline that fails removes its own output; an empty file left by one that claimed
  // success is no output either.
  if (!converted && pipelineResult != 0) DeleteUnlessSame(entry.outputPath, entry.path);
  return converted;
}

CConversionEngine::CConversionEngine(ConversionSettings& settings, IBatchHost& host)
    : settings_(settings), host_(host) {}

void CConversionEngine::SetPipeline(int targetFormat, Pipeline pipeline) {
  pipelines_[targetFormat] = std::move(pipeline);
}

int CConversionEngine::RunPipeline(int targetFormat, int sourceType, const std::string& sourcePath,
                                   const std::string& outputPath, IConvertProgress& progress) {
  auto it = pipelines_.find(targetFormat);
  if (it == pipelines_.end()) it = pipelines_.find(kTargetMp3);
  if (it == pipelines_.end() || !it->second) return 0;
  return it->second(sourceType, sourcePath, outputPath, progress);
}

bool CConversionEngine::ResolveOutputPath(SourceEntry& entry, std::string& outcome) {
  return wavorax::ResolveOutputPath(settings_, entry, outcome);
}

void CConversionEngine::ConvertSelected() {
  const std::vector<int> rows = host_.SelectedRows();
  if (rows.empty()) {
    host_.ShowInformation("You should select a file at least.");
    return;
  }
  std::vector<SourceEntry*> entries;
  entries.reserve(rows.size());
  for (int row : rows) entries.push_back(&host_.Entry(row));
  RunBatch(entries, rows);
}

void CConversionEngine::ConvertAll() {
  const int count = host_.RowCount();
  if (count <= 0) {
    host_.ShowInformation("There aren't files in list.");
    return;
  }
  std::vector<SourceEntry*> entries;
  std::vector<int> rows;
  for (int row = 0; row < count; ++row) {
    entries.push_back(&host_.Entry(row));
    rows.push_back(row);
  }
  RunBatch(entries, rows);
}

void CConversionEngine::RunBatch(const std::vector<SourceEntry*>& entries,
                                 const std::vector<int>& rows) {
  const int n = static_cast<int>(std::min(entries.size(), rows.size()));
  host_.BeginBatch();
  const int selected = host_.SelectedFormatCode();
  const int format = selected < 0 ? kTargetMp3 : selected;
  settings_.OutputFormat = format;

  IConvertProgress& progress = host_.OpenProgress();
  progress.SetOverallRange(n);
  progress.PumpMessages();

  batchSequenceNumber = 1;
  int i = 0;
  while (i < n) {
    SourceEntry& entry = *entries[i];
    const int row = rows[i];
    host_.EnsureRowVisible(row);
    host_.SetRowStatus(row, "Converting...");
    progress.SetOverallText(OverallText(format, batchSequenceNumber, n));
    progress.StepOverall();
    progress.SetFileText(FileText(FileNameOf(entry.path), 0));
    progress.SetFileBarPos(0);

    std::string outcome;
    bool converted = false;
    if (ResolveOutputPath(entry, outcome)) {
      const int result =
          RunPipeline(format, entry.sourceType, entry.path, entry.outputPath, progress);
      converted = JudgeConversion(result, entry);
      if (converted) {
        host_.SetRowStatus(row, FileNameOf(entry.outputPath));
        progress.PumpMessages();
        if (progress.CancelRequested()) break;
      } else {
        outcome = "Conversion Failure";
      }
    }
    if (!converted) {
      entry.outputPath.clear();
      if (progress.CancelRequested()) {
        host_.SetRowStatus(row, "Cancelled");
        break;
      }
      host_.SetRowStatus(row, outcome);
    }
    ++i;
    ++batchSequenceNumber;
  }

  host_.CloseProgress();
  host_.EndBatch();

  if (settings_.BrowseOutputFolder) {
    for (int j = 0; j < i; ++j) {
      const std::string& out = entries[j]->outputPath;
      if (!out.empty() && FileExists(out)) {
        host_.RevealOutput(out);
        break;
      }
    }
  }
}

}  // namespace wavorax
