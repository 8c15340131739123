// File-system helpers shared by the engine, the decoders and the source list.
// Paths are native UTF-8 with '/' separators.
#pragma once

#include <cstdint>
#include <string>

namespace wavorax {

// The text after the last '/', or the whole path when it has none.
std::string FileNameOf(const std::string& path);

// The last dot and what follows it within the file-name part, or "" when there is none.
// The search starts just after the last '/', or at the second character when the path
// has no '/', so ".hidden" inside a folder is an extension but a bare ".hidden" is not.
std::string ExtensionOf(const std::string& path);

// Case-insensitive (ASCII) equality, used for extensions.
bool EqualsNoCase(const std::string& a, const std::string& b);

// Something exists under the path: a file, a folder, or a link (even a dangling one,
// so that nothing is ever written through a stale link).
bool FileExists(const std::string& path);

// The file's size in bytes; false when the file cannot be examined.
bool QueryFileSize(const std::string& path, std::uint64_t& size);

// Creates every missing folder along the path; true when the path is a folder at the end.
bool CreateFolderPath(const std::string& path);

// The path made absolute (against the working folder) and normal: no "." or ".." parts and
// no doubled separators.
std::string NormalisedAbsolute(const std::string& path);

// What decides whether two paths name the same file: device and inode when the file exists
// (so symbolic and hard links are seen through), else the normalised absolute text. Taken
// once per path, so that comparing one path with many costs no further system calls.
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0, inode = 0;
  std::string normalPath;
};
FileIdentity IdentityOf(const std::string& path);
bool SameIdentity(const FileIdentity& a, const FileIdentity& b);

// Whether two paths name the same file, by their identities.
bool SameFile(const std::string& a, const std::string& b);

// Deletes a file unless it is the same file as `keep`. Used to remove incomplete outputs
// without ever touching the source.
void DeleteUnlessSame(const std::string& path, const std::string& keep);

// Outputs are written under a temporary name beginning so, beside the output, until they are
// complete; such files are never sources.
inline constexpr const char* kTemporaryOutputPrefix = ".wavorax-part-";
bool IsTemporaryOutputName(const std::string& fileName);

// The user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents), created when
// missing. Empty when it cannot be determined or created.
std::string DocumentsFolder();
// The same folder's path without creating it, for planning; empty when it cannot be told.
std::string DocumentsFolderPath();

}  // namespace wavorax
