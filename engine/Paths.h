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

// Whether two paths name the same file: by device and inode when both exist (so symbolic
// and hard links are seen through), else by their normalised absolute text.
bool SameFile(const std::string& a, const std::string& b);

// Deletes a file unless it is the same file as `keep`. Used to remove incomplete outputs
// without ever touching the source.
void DeleteUnlessSame(const std::string& path, const std::string& keep);

// The user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents), created when
// missing. Empty when it cannot be determined or created.
std::string DocumentsFolder();

}  // namespace wavorax
