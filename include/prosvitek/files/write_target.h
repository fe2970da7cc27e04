#pragma once
// Where a write under a path lands: the file layer's one way of following
// symbolic links for writing, and the identity of a target, so that two paths
// leading to one file are found out before anything is written.

#include "prosvitek/files/system_text.h"

#include <compare>
#include <optional>
#include <string>

#include <sys/types.h>

namespace files {

// The file a write would replace (its device and inode), or the place where a
// new one would be created (its folder's device and inode, and the name).
struct TargetId {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;  // empty for an existing file
  auto operator<=>(const TargetId&) const = default;
};

// The identity of what writing under `path` would reach ("-" is standard
// output); nothing when the path leads nowhere a file could be written.
std::optional<TargetId> IdentifyTarget(const std::string& path);

// Whether writing under a and under b would reach one file.
bool SameTarget(const std::string& a, const std::string& b);

// The folder (open) and the name in it that a path ends at once the symbolic
// links at its end are followed one at a time, each relative one from its own
// folder. A folder of /proc (/dev/stdout, /dev/fd/N) ends the walk: its
// entries are the kernel's links to open files, not paths to follow as text.
struct ResolvedTarget {
  Fd folder;
  std::string name;
  int links = 0;  // symbolic links followed
  bool inProc = false;
};

// Gives 0, or the errno of the failure (EISDIR when the name is a folder's,
// as "." or a path ending in "/"). A name that does not exist is no failure.
int ResolveTarget(const std::string& path, ResolvedTarget& out);

}  // namespace files
