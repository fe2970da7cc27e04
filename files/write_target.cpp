#include "prosvitek/files/write_target.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace files {

namespace {

// Opens a folder to work in by descriptor, so that renaming the folder or
// swapping a symbolic link along the path while we write changes nothing.
// A folder we may write to but not list is still usable (without the sync).
int OpenFolder(int at, const std::string& path) {
  const int fd = ::openat(at, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

bool IsProc(int folder) {
  struct statfs fs {};
  return ::fstatfs(folder, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

}  // namespace

int ResolveTarget(const std::string& path, ResolvedTarget& out) {
  std::string current = path;
  int at = AT_FDCWD;
  for (int links = 0;; ++links) {
    if (links > 40) return ELOOP;
    const std::size_t slash = current.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : current.substr(0, slash);
    Fd fd(OpenFolder(at, folder));
    if (fd.get() < 0) return errno;
    out.folder = std::move(fd);
    at = out.folder.get();  // a relative link is read from its own folder
    out.name = slash == std::string::npos ? current : current.substr(slash + 1);
    out.links = links;
    if (out.name.empty() || out.name == "." || out.name == "..") return EISDIR;
    if (IsProc(at)) {
      out.inProc = true;
      return 0;
    }
    struct stat st {};
    if (::fstatat(at, out.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(at, out.name.c_str(), link.data(), link.size());
      if (n < 0) return errno;
      if (static_cast<std::size_t>(n) < link.size()) {
        link.resize(static_cast<std::size_t>(n));
        break;
      }
      link.resize(link.size() * 2);  // the link grew since fstatat
    }
    if (link.empty()) return ENOENT;
    current = std::move(link);
  }
}

std::optional<TargetId> IdentifyTarget(const std::string& path) {
  struct stat st {};
  if (path == "-") {
    if (::fstat(STDOUT_FILENO, &st) != 0) return std::nullopt;
    return TargetId{st.st_dev, st.st_ino, {}};
  }
  ResolvedTarget target;
  if (path.empty() || ResolveTarget(path, target) != 0) return std::nullopt;
  if (::fstatat(target.folder.get(), target.name.c_str(), &st, 0) == 0) return TargetId{st.st_dev, st.st_ino, {}};
  if (errno != ENOENT || target.links > 0 || ::fstat(target.folder.get(), &st) != 0) return std::nullopt;
  return TargetId{st.st_dev, st.st_ino, target.name};
}

bool SameTarget(const std::string& a, const std::string& b) {
  const std::optional<TargetId> ia = IdentifyTarget(a), ib = IdentifyTarget(b);
  return ia && ib && *ia == *ib;
}

}  // namespace files
