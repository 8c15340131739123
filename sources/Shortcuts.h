// The Linux shortcut kinds that stand for the files they name: symbolic links and
// freedesktop link files (.desktop files of Type=Link with a file:// URL).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wavorax {

// Whether the path is a shortcut: a symbolic link, or a freedesktop link file
// (Type=Link with a file:// URL).
bool IsShortcut(const std::string& path);

// The local path that the text of a freedesktop link file names: the URL of its
// [Desktop Entry] group when Type is Link and the URL is a file:// address, "" otherwise.
std::string ParseDesktopLink(std::string_view text);

// Largest link file that is read; anything longer is not a link.
inline constexpr std::size_t kMaxDesktopLinkBytes = 64 * 1024;

// One step of a shortcut: the path the link names (made absolute against the link's folder).
bool ResolveShortcut(const std::string& shortcut, std::string& target);

// Longest chain of shortcuts followed before giving up.
inline constexpr int kShortcutChainLimit = 16;

}  // namespace wavorax
