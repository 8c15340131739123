#include "engine/OutputPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/CdTrackPath.h"
#include "base/Paths.h"
#include "engine/Targets.h"
#include "engine/library/NamePattern.h"

namespace wavorax {

namespace {

std::string FolderFailure(const std::string& folder) {
  return "Failed to create folder \"" + folder + "\"";
}

std::string FileFailure(const std::string& path) {
  return "Failed to create file \"" + path + "\"";
}

// The source's folder path below the root, ending in '/', for the mirror option:
// /home/u/Music/pop/1.wav gives home/u/Music/pop/. The path is made absolute and normal
// first, so that ".." parts cannot climb out of the output folder.
std::string MirroredFolder(const std::string& source) {
  const std::string normal = NormalisedAbsolute(source);
  const std::string name = FileNameOf(normal);
  std::string folder = normal.substr(0, normal.size() - name.size());
  while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
  return folder;
}

std::string WithoutTail(const std::string& text, std::size_t count) {
  return count >= text.size() ? std::string() : text.substr(0, text.size() - count);
}

// Whether the user may replace an existing file at `target` (only reached under the overwrite
// policy): a write-protected earlier output is kept, and the row takes the path of a file that
// cannot be created. A link is judged by the file it names. The file itself is never opened:
// it is replaced only by a rename once the new output is complete, so nothing is written
// through a symbolic link or into another hard link of it.
bool MayReplace(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0) return true;
  if (S_ISDIR(st.st_mode)) return false;
  struct stat named {};
  const bool namesFile = !S_ISLNK(st.st_mode) || ::stat(target.c_str(), &named) == 0;
  return !namesFile || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// A folder path could be created: its nearest existing ancestor is a folder that the user may
// add entries to, and no existing part of the path is a file.
bool CouldCreateFolder(const std::string& path) {
  std::string at = path;
  while (at.size() > 1 && at.back() == '/') at.pop_back();
  for (;;) {
    struct stat st {};
    if (::stat(at.c_str(), &st) == 0)
      return S_ISDIR(st.st_mode) && ::faccessat(AT_FDCWD, at.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    const auto slash = at.rfind('/');
    if (slash == std::string::npos)
      at = ".";
    else
      at = slash == 0 ? "/" : at.substr(0, slash);
  }
}

// Whether a file could be made at `target`, worked out without making one.
bool CouldCreate(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return false;
    struct stat named {};
    const bool namesFile = !S_ISLNK(st.st_mode) || ::stat(target.c_str(), &named) == 0;
    if (namesFile && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
  }
  const auto slash = target.rfind('/');
  return CouldCreateFolder(slash == std::string::npos ? "." : target.substr(0, slash + 1));
}

// Resolution shared by real runs and dry runs. With `plan` set nothing is created: folders
// and the target are only checked, and the rules' produced paths count as existing files.
// Otherwise `resolved`, when given, receives the temporary file made beside the output; without
// it the temporary file only proves that the output can be made, and goes again.
Resolution Resolve(const ConversionSettings& settings, SourceEntry& entry, std::string& outcome,
                   const ResolveRules& rules, OutputPlan* plan, ResolvedOutput* resolved) {
  const auto busy = [&](const std::string& path) {
    return !plan && rules.busy && rules.busy(path);
  };
  const auto produced = [&](const std::string& path) {
    return rules.produced && rules.produced(path);
  };
  const auto exists = [&](const std::string& path) {
    return FileExists(path) || (plan && produced(path));
  };
  const auto makeFolder = [&](const std::string& path) {
    return plan ? CouldCreateFolder(path) : CreateFolderPath(path);
  };
  const std::string& source = entry.path;
  const std::string targetExtension = ExtensionOfTarget(settings.OutputFormat);
  if (targetExtension.empty()) return Resolution::Failed;

  int folderMode = settings.DestOutputFolderOpt;
  std::string folder = settings.DestSpecifiedFolder;
  bool mirror = settings.CreateDirs != 0;
  const std::size_t extensionLength = ExtensionOf(source).size();
  bool retried = false;
  // A name made below a base folder: the sync plan's, or the pattern's from the tags.
  std::string relative = rules.relative;
  if (relative.empty() && folderMode == kFolderPattern) {
    std::string error;
    relative = RelativeOutputName(settings, source, error);
    if (relative.empty()) {
      outcome = error;
      return Resolution::Failed;
    }
  }
  if (!relative.empty())
    folder = folderMode == kFolderPattern ? settings.NamePatternBase : settings.DestSpecifiedFolder;

  for (;;) {
    std::string base;
    bool ok = true;
    if (!relative.empty()) {
      if (folder.empty() || !makeFolder(folder)) {
        outcome = FolderFailure(folder);
        ok = false;
      } else {
        const std::string full = folder + (folder.back() == '/' ? "" : "/") + relative;
        const std::string parent = full.substr(0, full.rfind('/') + 1);
        if (!makeFolder(parent)) {
          outcome = FolderFailure(parent);
          ok = false;
        } else {
          base = WithoutTail(full, targetExtension.size());
        }
      }
    } else if (folderMode == kFolderCustom) {
      if (folder.empty() || !makeFolder(folder)) {
        outcome = FolderFailure(folder);
        ok = false;
      } else {
        base = folder;
        if (base.back() != '/') base += '/';
        if (mirror) {
          base += MirroredFolder(source);
          if (!makeFolder(base)) {
            outcome = FolderFailure(base);
            ok = false;
          }
        }
        if (ok) base += WithoutTail(FileNameOf(source), extensionLength);
      }
    } else {
      // A disc image's track goes beside the image; a drive's track keeps the drive's path,
      // where nothing can be created, so that the documents folder takes over.
      const std::string cdFolder = CdTrackOutputFolder(source);
      base = cdFolder.empty() ? WithoutTail(source, extensionLength)
                              : cdFolder + WithoutTail(FileNameOf(source), extensionLength);
    }

    if (ok) {
      std::string target = base + targetExtension;
      if (busy(target)) return Resolution::Busy;
      PlannedAction action = PlannedAction::New;
      // Under the overwrite policy, an output that this batch wrote is not replaced: two
      // sources that would share a name both keep their output.
      const bool overwrite = settings.TargetExistsOpt == kExistsOverwrite;
      const bool renew = rules.refresh && rules.refresh(target) && !produced(target);
      if (exists(target) && !(overwrite && produced(target))) {
        if (overwrite || renew) {
          if (SameFile(target, source)) {
            outcome =
                "Target file name is same as original file that can't be overwritten. Please "
                "output files to a custom folder.";
            if (plan) plan->action = PlannedAction::SameAsSource;
            return Resolution::Failed;
          }
          action = PlannedAction::Overwrite;
        } else if (settings.TargetExistsOpt == kExistsSkip) {
          outcome = "Target exists and skipped";
          if (plan) plan->action = PlannedAction::Skipped;
          return Resolution::Failed;
        } else {
          action = PlannedAction::Renamed;
        }
      } else if (exists(target)) {
        action = PlannedAction::Renamed;
      }
      if (action == PlannedAction::Renamed) {
        for (int k = 1;; ++k) {
          target = base + "_" + std::to_string(k) + targetExtension;
          if (busy(target)) return Resolution::Busy;
          if (!exists(target)) break;
        }
      }
      const bool creatable = action != PlannedAction::Overwrite || MayReplace(target);
      if (plan && creatable && CouldCreate(target)) {
        entry.outputPath = target;
        plan->action = action;
        plan->inDocuments = retried;
        return Resolution::Resolved;
      }
      if (!plan && creatable) {
        std::string temporary = CreateTemporaryBeside(target);
        if (!temporary.empty()) {
          entry.outputPath = target;
          if (resolved) {
            resolved->temporary = std::move(temporary);
            resolved->base = base;
            resolved->extension = targetExtension;
            resolved->action = action;
            resolved->decidedOn = StateOf(target);
            resolved->inDocuments = retried;
          } else {
            ::unlink(temporary.c_str());
          }
          return Resolution::Resolved;
        }
      }
      outcome = FileFailure(target);
    }

    // One retry in the documents folder, keeping the user's mirror choice when the user
    // chose a custom folder.
    if (settings.OutputFiles2MyDocuments == 0 || retried) return Resolution::Failed;
    retried = true;
    const std::string documents = plan ? DocumentsFolderPath() : DocumentsFolder();
    if (documents.empty()) return Resolution::Failed;
    folder = documents;
    // A name made below the base folder keeps its folders below the documents folder.
    if (!relative.empty()) continue;
    folderMode = kFolderCustom;
    mirror = settings.DestOutputFolderOpt == kFolderCustom && settings.CreateDirs != 0;
  }
}

}  // namespace

Resolution ResolveOutputPathClaiming(const ConversionSettings& settings, SourceEntry& entry,
                                     std::string& outcome, const ResolveRules& rules,
                                     ResolvedOutput& resolved) {
  return Resolve(settings, entry, outcome, rules, nullptr, &resolved);
}

OutputPlan PlanOutputPath(const ConversionSettings& settings, const std::string& source,
                          const std::function<bool(const std::string&)>& planned) {
  ResolveRules rules;
  rules.produced = planned;
  return PlanOutputPath(settings, source, rules);
}

OutputPlan PlanOutputPath(const ConversionSettings& settings, const std::string& source,
                          const ResolveRules& rules) {
  OutputPlan plan;
  SourceEntry entry;
  entry.path = source;
  if (Resolve(settings, entry, plan.outcome, rules, &plan, nullptr) == Resolution::Resolved)
    plan.path = entry.outputPath;
  else if (plan.action != PlannedAction::Skipped && plan.action != PlannedAction::SameAsSource)
    plan.action = PlannedAction::Failed;
  return plan;
}

std::string LibraryBaseFolder(const ConversionSettings& settings) {
  if (settings.DestOutputFolderOpt == kFolderPattern) return settings.NamePatternBase;
  if (settings.DestOutputFolderOpt == kFolderCustom) return settings.DestSpecifiedFolder;
  return {};
}

std::string RelativeOutputName(const ConversionSettings& settings, const std::string& source,
                               std::string& error) {
  const std::string extension = ExtensionOfTarget(settings.OutputFormat);
  if (extension.empty()) {
    error = "Unknown output format";
    return {};
  }
  if (settings.DestOutputFolderOpt == kFolderCustom) {
    const std::string name = FileNameOf(source);
    return (settings.CreateDirs ? MirroredFolder(source) : std::string()) +
           WithoutTail(name, ExtensionOf(source).size()) + extension;
  }
  if (settings.DestOutputFolderOpt != kFolderPattern) {
    error = "The outputs have no base folder";
    return {};
  }
  std::string reason;
  const auto pattern = library::NamePattern::Parse(settings.NamePattern, reason);
  if (!pattern) {
    error = "Naming pattern refused: " + reason;
    return {};
  }
  library::NameOptions options;
  options.fatSafe = settings.FatSafeNames != 0;
  std::string name =
      pattern->Expand(library::NameFieldsOfFile(source), extension.substr(1), options);
  // The extension is always the last part's own; anything else could not be renamed.
  if (name.size() <= extension.size() ||
      name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
    error = "No output name";
    return {};
  }
  return name;
}

bool ResolveOutputPath(const ConversionSettings& settings, SourceEntry& entry,
                       std::string& outcome) {
  return Resolve(settings, entry, outcome, ResolveRules{}, nullptr, nullptr) ==
         Resolution::Resolved;
}

}  // namespace wavorax
