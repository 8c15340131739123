#include "engine/OutputPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/CdTrackPath.h"
#include "base/Paths.h"
#include "engine/Targets.h"

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

// Proves that the target can be created: makes it and deletes it again. An existing target
// (only reached under the overwrite policy) is unlinked first rather than truncated, so that
// nothing is ever written through a symbolic link or into another hard link of the file.
// Unlinking needs only the folder's permission, so the file's own is asked first: a file
// the user may not write (a write-protected earlier output) is not replaced, and the row
// takes the path of a file that cannot be created. A link is judged by the file it names.
bool ProbeCreate(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    struct stat named {};
    const bool namesFile = !S_ISLNK(st.st_mode) || ::stat(target.c_str(), &named) == 0;
    if (namesFile && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    ::unlink(target.c_str());
  }
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(target.c_str());
  return true;
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

// The side-effect-free counterpart of ProbeCreate.
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
// and the target are only checked, and `claimed` paths count as existing files.
Resolution Resolve(const ConversionSettings& settings, SourceEntry& entry, std::string& outcome,
                   const std::function<bool(const std::string&)>& claimed, OutputPlan* plan) {
  const auto busy = [&](const std::string& path) { return !plan && claimed && claimed(path); };
  const auto exists = [&](const std::string& path) {
    return FileExists(path) || (plan && claimed && claimed(path));
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

  for (;;) {
    std::string base;
    bool ok = true;
    if (folderMode == kFolderCustom) {
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
      if (exists(target)) {
        if (settings.TargetExistsOpt == kExistsOverwrite) {
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
          for (int k = 1;; ++k) {
            target = base + "_" + std::to_string(k) + targetExtension;
            if (busy(target)) return Resolution::Busy;
            if (!exists(target)) break;
          }
        }
      }
      if (plan ? CouldCreate(target) : ProbeCreate(target)) {
        entry.outputPath = target;
        if (plan) plan->action = action;
        return Resolution::Resolved;
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
    folderMode = kFolderCustom;
    mirror = settings.DestOutputFolderOpt == kFolderCustom && settings.CreateDirs != 0;
  }
}

}  // namespace

Resolution ResolveOutputPathClaiming(const ConversionSettings& settings, SourceEntry& entry,
                                     std::string& outcome,
                                     const std::function<bool(const std::string&)>& claimed) {
  return Resolve(settings, entry, outcome, claimed, nullptr);
}

OutputPlan PlanOutputPath(const ConversionSettings& settings, const std::string& source,
                          const std::function<bool(const std::string&)>& planned) {
  OutputPlan plan;
  SourceEntry entry;
  entry.path = source;
  if (Resolve(settings, entry, plan.outcome, planned, &plan) == Resolution::Resolved)
    plan.path = entry.outputPath;
  else if (plan.action != PlannedAction::Skipped && plan.action != PlannedAction::SameAsSource)
    plan.action = PlannedAction::Failed;
  return plan;
}

bool ResolveOutputPath(const ConversionSettings& settings, SourceEntry& entry,
                       std::string& outcome) {
  return ResolveOutputPathClaiming(settings, entry, outcome, nullptr) == Resolution::Resolved;
}

}  // namespace wavorax
