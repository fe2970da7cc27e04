#include "prosvitek/files/atomic_file.h"

#include "prosvitek/files/errors.h"
#include "prosvitek/files/system_text.h"
#include "prosvitek/files/write_target.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace files {

namespace {

// Temporary files are named ".prosvitek-" and 16 hex digits of a random
// number, whatever the target's name: a fixed short name leaves every target
// name the file system allows writable, and the random part makes the name
// one nobody else creates.
constexpr char kTemporaryPrefix[] = ".prosvitek-";
constexpr std::size_t kTemporaryNameSize = sizeof kTemporaryPrefix - 1 + 16 + 1;
using TemporaryName = std::array<char, kTemporaryNameSize>;

// Async-signal-safe: the handler builds names with it too.
TemporaryName FormatTemporaryName(std::uint64_t id) {
  TemporaryName name{};
  std::size_t i = 0;
  for (const char* p = kTemporaryPrefix; *p; ++p) name[i++] = *p;
  for (int shift = 60; shift >= 0; shift -= 4) name[i++] = "0123456789abcdef"[(id >> shift) & 0xF];
  name[i] = '\0';
  return name;
}

std::uint64_t RandomId() {
  std::uint64_t id = 0;
  if (::getrandom(&id, sizeof id, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof id)) return id;
  // No entropy yet (early boot): the process, a counter and the clock still
  // differ between any two writers, and O_EXCL catches the rest.
  static std::atomic<std::uint64_t> counter{0};
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return (static_cast<std::uint64_t>(::getpid()) << 40) ^ (counter++ << 20) ^ static_cast<std::uint64_t>(now.tv_nsec) ^
         (static_cast<std::uint64_t>(now.tv_sec) << 32);
}

// A temporary file without a name cannot outlive the process; one with a name
// (where the file system cannot make unnamed ones, and for the moment between
// linking a finished file under a temporary name and renaming it over the
// target) is given its name only inside a NamingSection. The handler first
// says the process is stopping, so that no section begins after that, then
// waits for those running to end, and only then removes what is registered:
// a file named on another thread just as the handler runs is not missed.
std::atomic<bool> g_stopping{false};
std::atomic<int> g_naming{0};

// While this thread gives a temporary file a name and registers it (or
// removes it again), no signal handler runs on it, so a handler waiting for
// the section elsewhere cannot wait for itself.
class NamingSection {
 public:
  NamingSection() {
    sigset_t all;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &saved_);
    g_naming.fetch_add(1);
    allowed_ = !g_stopping.load();
  }
  ~NamingSection() {
    g_naming.fetch_sub(1);
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }
  NamingSection(const NamingSection&) = delete;
  NamingSection& operator=(const NamingSection&) = delete;
  // False once the process is stopping: no name may be given any more.
  bool allowed() const { return allowed_; }

 private:
  sigset_t saved_;
  bool allowed_ = false;
};

// The named temporary files that may exist, for a signal handler to remove. The
// handler may run at any moment on any thread, so it reads the registry with
// lock-free atomics only, and never touches memory that could be freed: slots
// live in chunks that are chained as more writes run at once and never freed.
//
// A slot goes Free -> Claimed (by one writer) -> Live (the folder and the name
// are set: the file may exist) -> Free. Each claim bumps the generation; the
// handler copies a Live slot and uses the copy only if the slot stayed Live in
// the same generation meanwhile, so it never mixes one write's folder with
// another's name. A copy that goes stale after that check names a file already
// renamed or removed, which unlinkat cannot find: the names are never reused.
enum SlotState : int { kFree, kClaimed, kLive };
struct PendingSlot {
  std::atomic<int> state{kFree};
  std::atomic<unsigned> generation{0};
  std::atomic<int> folder{-1};
  std::atomic<std::uint64_t> id{0};
};
struct PendingChunk {
  PendingSlot slots[16];
  std::atomic<PendingChunk*> next{nullptr};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free &&
                  std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<PendingChunk*>::is_always_lock_free,
              "the signal handler may use lock-free atomics only");
PendingChunk g_pending;

}  // namespace

// One write's slot in the registry.
class PendingRegistration {
 public:
  PendingRegistration() {
    for (PendingChunk* chunk = &g_pending;;) {
      for (PendingSlot& slot : chunk->slots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kClaimed)) {
          slot.generation.fetch_add(1);
          slot_ = &slot;
          return;
        }
      }
      PendingChunk* next = chunk->next.load();
      if (next == nullptr) {
        auto fresh = std::make_unique<PendingChunk>();
        if (chunk->next.compare_exchange_strong(next, fresh.get())) next = fresh.release();
        // Otherwise another writer chained a chunk first; next is now that one.
      }
      chunk = next;
    }
  }
  ~PendingRegistration() { slot_->state.store(kFree); }
  PendingRegistration(const PendingRegistration&) = delete;
  PendingRegistration& operator=(const PendingRegistration&) = delete;

  // From now on a signal removes this file, whether it exists yet or not.
  void Arm(int folder, std::uint64_t id) {
    slot_->folder.store(folder);
    slot_->id.store(id);
    slot_->state.store(kLive);
  }
  void Disarm() {
    if (slot_->state.load() == kLive) {
      slot_->state.store(kClaimed);
      slot_->generation.fetch_add(1);  // a handler's copy taken before this is refused, even once re-armed
    }
  }

 private:
  PendingSlot* slot_ = nullptr;
};

void RemovePendingTemporaryFiles() {
  g_stopping.store(true);
  // A section is a few system calls long; one that never ends (a hung network
  // file system) must not keep the process from ending.
  const timespec pause{0, 1'000'000};
  for (int waited = 0; g_naming.load() > 0 && waited < 2000; ++waited) ::nanosleep(&pause, nullptr);
  for (PendingChunk* chunk = &g_pending; chunk != nullptr; chunk = chunk->next.load()) {
    for (PendingSlot& slot : chunk->slots) {
      // A slot that changes while it is read is read again: other threads run on.
      for (int tries = 0; tries < 1000; ++tries) {
        const unsigned generation = slot.generation.load();
        if (slot.state.load() != kLive) break;
        const int folder = slot.folder.load();
        const TemporaryName name = FormatTemporaryName(slot.id.load());
        if (slot.state.load() == kLive && slot.generation.load() == generation) {
          ::unlinkat(folder, name.data(), 0);
          break;
        }
      }
    }
  }
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether `fd` is a descriptor of ours open for writing to `file`, for
// appending when `appending`.
bool WritesTo(int fd, const struct stat& file, bool appending) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY || (appending && (flags & O_APPEND) == 0)) return false;
  struct stat st {};
  return ::fstat(fd, &st) == 0 && SameFile(st, file);
}

// A descriptor of ours open for appending to `file` (a log that standard
// output is appended to), or -1.
int AppendingDescriptor(const struct stat& file) {
  DIR* open = ::opendir("/proc/self/fd");
  if (open == nullptr) {  // no /proc: the usual few descriptors
    for (int fd = 0; fd < 256; ++fd)
      if (WritesTo(fd, file, true)) return fd;
    return -1;
  }
  int found = -1;
  while (const dirent* entry = ::readdir(open)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == ::dirfd(open) || fd > 1 << 30) continue;
    if (WritesTo(static_cast<int>(fd), file, true)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  ::closedir(open);
  return found;
}

// The descriptor that an entry of a /proc list of open files names, when it
// is one of ours open for writing to the file the entry leads to; else -1.
int OwnDescriptor(int folder, const std::string& name) {
  char* end = nullptr;
  const long fd = std::strtol(name.c_str(), &end, 10);
  struct stat st {};
  if (name.empty() || *end != '\0' || fd < 0 || fd > 1 << 30 || ::fstatat(folder, name.c_str(), &st, 0) != 0) return -1;
  return WritesTo(static_cast<int>(fd), st, false) ? static_cast<int>(fd) : -1;
}

constexpr char kAccessAcl[] = "system.posix_acl_access";

// Copies every extended attribute of `from` (the ACL among them) onto `to`;
// false when one cannot be read or set.
bool CopyAttributes(int from, int to) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP;  // a file system without them: nothing to lose
  std::vector<char> names(static_cast<std::size_t>(size));
  size = size > 0 ? ::flistxattr(from, names.data(), names.size()) : 0;
  if (size < 0) return false;
  bool acl = false;
  std::vector<char> value;
  for (std::size_t at = 0; at < static_cast<std::size_t>(size); at += std::strlen(names.data() + at) + 1) {
    const char* name = names.data() + at;
    const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    if (length < 0) return false;
    value.resize(static_cast<std::size_t>(length));
    const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
    if (got < 0 || ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0) return false;
    acl = acl || std::strcmp(name, kAccessAcl) == 0;
  }
  // A new file takes the folder's default ACL; the replaced one had none.
  return acl || ::fremovexattr(to, kAccessAcl) == 0 || errno == ENODATA || errno == ENOTSUP;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
  try {
    Open();
  } catch (...) {
    Abandon();  // no destructor runs for an object whose constructor failed
    throw;
  }
}

void AtomicFile::Open() {
  if (target_.empty()) Refuse("prázdný název souboru");
  if (target_ == "-") return OpenStream(STDOUT_FILENO);
  ResolvedTarget resolved;
  if (const int err = ResolveTarget(target_, resolved)) err == EISDIR ? Refuse("je to složka") : Fail(err);
  folder_ = resolved.folder.release();
  name_ = std::move(resolved.name);
  if (resolved.inProc) {
    const int own = OwnDescriptor(folder_, name_);
    if (own < 0) Refuse("soubor v /proc nelze nahradit");
    return OpenStream(own);
  }
  struct stat st {};
  if (::fstatat(folder_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) Fail(errno);
    if (resolved.links > 0) Refuse("odkaz nevede na žádný soubor");
    return CreateTemporary();
  }
  // A pipe or a device cannot be replaced; it is written into.
  if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) return OpenInPlace();
  if (S_ISDIR(st.st_mode)) Refuse("je to složka");
  if (!S_ISREG(st.st_mode)) Refuse("není to obyčejný soubor, roura ani znakové zařízení");
  if (const int appending = AppendingDescriptor(st); appending >= 0) return OpenStream(appending);
  OpenExisting(st);
  CreateTemporary();
  CarryOver(st);
}

void AtomicFile::OpenStream(int descriptor) {
  stream_ = true;
  if (::fcntl(descriptor, F_GETFL) < 0) Fail(errno);  // "-" with standard output closed
  fd_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (fd_ < 0) Fail(errno);
}

void AtomicFile::OpenInPlace() {
  stream_ = true;
  fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) Fail(errno);
  // The name may have been swapped for a regular file since the check; that
  // one was opened without truncating and is left alone.
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail(errno);
  if (!S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode)) Refuse("soubor se během ukládání změnil");
}

// The file is opened for writing through the path as given, as cp opens it:
// the kernel's rules for following links (a link another user planted in a
// sticky folder) and its permissions decide, not our reading of them.
void AtomicFile::OpenExisting(const struct stat& file) {
  existing_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (existing_ < 0) Fail(errno);
  struct stat opened {};
  if (::fstat(existing_, &opened) != 0) Fail(errno);
  if (!SameFile(opened, file)) Refuse("soubor se během ukládání změnil");
}

void AtomicFile::CreateTemporary() {
  // A new file gets 0666 less the umask or the folder's default ACL, as any
  // other program's new file.
  fd_ = ::openat(folder_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd_ >= 0) {
    unnamed_ = true;
    return;
  }
  // File systems and kernels without unnamed files say so in one of these ways.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(errno);
  CreateNamedTemporary();
}

void AtomicFile::CreateNamedTemporary() {
  pending_ = std::make_unique<PendingRegistration>();  // allocates: outside the section
  for (int attempt = 0;; ++attempt) {
    const std::uint64_t id = RandomId();
    int err = 0;
    {
      NamingSection section;
      if (!section.allowed()) Refuse("program končí");
      // Registered before the file exists, so a signal at any point finds it.
      pending_->Arm(folder_, id);
      temporary_ = FormatTemporaryName(id).data();
      fd_ = ::openat(folder_, temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
      err = errno;
      pending_->Disarm();
      temporary_.clear();
    }
    if (err != EEXIST || attempt == 100) Fail(err);
  }
}

// The replacement keeps what belongs to the file it replaces: owner, group
// (root saving a user's photo, or a group we belong to), permission bits but
// the set-id ones, ACLs and extended attributes. Where it cannot be given
// them, or where the file has other names (hard links) that a rename would
// leave with the old content, the finished content goes over the file itself.
void AtomicFile::CarryOver(const struct stat& file) {
  if (file.st_nlink > 1) overwrite_ = true;
  const bool root = ::geteuid() == 0;
  if (!overwrite_ && (file.st_uid != ::geteuid() || file.st_gid != ::getegid())) {
    if (!root && file.st_uid != ::geteuid())
      overwrite_ = true;
    else if (::fchown(fd_, root ? file.st_uid : static_cast<uid_t>(-1), file.st_gid) != 0)
      overwrite_ = true;
  }
  if (!overwrite_ && !CopyAttributes(existing_, fd_)) overwrite_ = true;
  // Last: with an ACL copied, this sets the bits it already implies.
  if (!overwrite_ && ::fchmod(fd_, file.st_mode & 0777) != 0) Fail(errno);
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Abandon() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (existing_ >= 0) ::close(existing_);
  existing_ = -1;
  if (!committed_ && !temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
  temporary_.clear();
  pending_.reset();  // before the folder's descriptor can be reused
  if (folder_ >= 0) ::close(folder_);
  folder_ = -1;
}

void AtomicFile::Fail(int err) { Refuse(SystemReason(err)); }

void AtomicFile::Refuse(const std::string& reason) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  throw FileError("Soubor nelze uložit: " + target_ + " (" + reason + ")");
}

void AtomicFile::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

std::optional<std::string> AtomicFile::Commit() {
  if (stream_) {
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) Fail(errno);
    committed_ = true;
    return std::nullopt;
  }
  if (::fsync(fd_) != 0) Fail(errno);
  if (overwrite_) {
    Overwrite();
    if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    committed_ = true;
    return std::nullopt;
  }
  Place();
  committed_ = true;
  // Without this the new name may not survive a crash. A folder opened without
  // read permission cannot be synced (EBADF), and some file systems cannot sync
  // folders at all (EINVAL); neither is a failure of this write. Any other
  // failure comes after the target was replaced: the file is saved.
  if (::fsync(folder_) != 0 && errno != EBADF && errno != EINVAL)
    return "Soubor " + target_ + " je uložen, ale jeho složku se nepodařilo zapsat na disk (" + SystemReason(errno) +
           "); po výpadku napájení se může objevit předchozí stav.";
  return std::nullopt;
}

// Gives the finished file its name in folder_: at once where there was no
// target, else under a temporary name renamed over the target.
void AtomicFile::Place() {
  if (!unnamed_) {
    if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) Fail(errno);
    return;
  }
  if (existing_ < 0) {
    if (LinkUnnamed(name_.c_str()) == 0) return;
    if (errno != EEXIST) Fail(errno);
    // Created by someone else meanwhile: replaced as any other target.
  }
  NamingSection section;
  if (!section.allowed()) Refuse("program končí");
  for (int attempt = 0;; ++attempt) {
    temporary_ = FormatTemporaryName(RandomId()).data();
    if (LinkUnnamed(temporary_.c_str()) == 0) break;
    const int err = errno;
    temporary_.clear();
    if (err != EEXIST || attempt == 100) Fail(err);
  }
  if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
    const int err = errno;
    ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    Fail(err);
  }
  temporary_.clear();
}

int AtomicFile::LinkUnnamed(const char* name) const {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd_);
  if (::linkat(AT_FDCWD, path, folder_, name, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return -1;
  return ::linkat(fd_, "", folder_, name, AT_EMPTY_PATH);  // without /proc: root only
}

// Writes the finished content over the existing file, as cp does. Room is
// taken first, so that a full disk is met before the old content is touched.
void AtomicFile::Overwrite() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail(errno);
  const off_t size = st.st_size;
  if (size > 0 && ::fallocate(existing_, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
    Fail(errno);
  std::vector<std::uint8_t> buffer(65536);
  auto damaged = [&](int err) { Refuse(SystemReason(err) + "; soubor mohl zůstat poškozený"); };
  for (off_t at = 0; at < size;) {
    const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), at);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      damaged(n < 0 ? errno : EIO);
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::pwrite(existing_, buffer.data() + done, static_cast<std::size_t>(n - done), at + done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) damaged(w < 0 ? errno : EIO);
      done += w;
    }
    at += n;
  }
  if (::ftruncate(existing_, size) != 0 || ::fsync(existing_) != 0) damaged(errno);
}

std::optional<std::string> WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  return file.Commit();
}

}  // namespace files
