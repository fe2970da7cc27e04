#include "files/atomic_file.h"

#include "files/errors.h"
#include "files/system_text.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <time.h>
#include <sys/random.h>
#include <sys/stat.h>
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

// The temporary files that may exist, for a signal handler to remove. The
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

struct AtomicFile::Existing {
  mode_t mode;
  uid_t owner;
  gid_t group;
};

namespace {

// Opens a folder to work in by descriptor, so that renaming the folder or
// swapping a symbolic link along the path while we write changes nothing.
// A folder we may write to but not list is still usable (without the sync).
int OpenFolder(int at, const std::string& path) {
  const int fd = ::openat(at, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
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
  // A pipe or a device cannot be replaced; it is written into. stat follows
  // every link, including the /proc ones of /dev/stdout that name no path.
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
    OpenInPlace();
    return;
  }
  ResolveFolderAndName();
  if (::fstatat(folder_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) Fail(errno);
    CreateTemporary(nullptr);
    return;
  }
  if (S_ISDIR(st.st_mode)) Refuse("je to složka");
  if (!S_ISREG(st.st_mode)) Refuse("není to obyčejný soubor, roura ani znakové zařízení");
  // The folder's permission lets us replace the file; the file's must too.
  if (::faccessat(folder_, name_.c_str(), W_OK, AT_EACCESS) != 0) Fail(errno);
  const Existing existing{st.st_mode, st.st_uid, st.st_gid};
  CreateTemporary(&existing);
}

void AtomicFile::OpenInPlace() {
  inPlace_ = true;
  fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) Fail(errno);
  // The name may have been swapped for a regular file since the check; that
  // one was opened without truncating and is left alone.
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail(errno);
  if (!S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode)) Refuse("soubor se během ukládání změnil");
}

// Follows symbolic links one at a time to the folder and name of the file
// they end at, as the kernel would, so that file is replaced and the links stay.
void AtomicFile::ResolveFolderAndName() {
  std::string path = target_;
  int at = AT_FDCWD;
  for (int hops = 0;; ++hops) {
    if (hops > 40) Fail(ELOOP);
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    const int fd = OpenFolder(at, folder);
    if (fd < 0) Fail(errno);
    if (folder_ >= 0) ::close(folder_);
    folder_ = fd;
    at = folder_;  // a relative link is read from its own folder
    if (name_.empty() || name_ == "." || name_ == "..") Refuse("je to složka");
    struct stat st {};
    if (::fstatat(folder_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT && hops > 0) Refuse("odkaz nevede na žádný soubor");
      return;
    }
    if (!S_ISLNK(st.st_mode)) return;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(folder_, name_.c_str(), link.data(), link.size());
      if (n < 0) Fail(errno);
      if (static_cast<std::size_t>(n) < link.size()) {
        link.resize(static_cast<std::size_t>(n));
        break;
      }
      link.resize(link.size() * 2);  // the link grew since fstatat
    }
    if (link.empty()) Fail(ENOENT);
    path = std::move(link);
  }
}

void AtomicFile::CreateTemporary(const Existing* replaced) {
  pending_ = std::make_unique<PendingRegistration>();
  // The name is registered before the file exists, so a signal arriving at any
  // point of the creation finds it.
  for (int attempt = 0;; ++attempt) {
    const std::uint64_t id = RandomId();
    pending_->Arm(folder_, id);
    temporary_ = FormatTemporaryName(id).data();
    // A new file gets 0666 less the umask or the folder's default ACL, as any
    // other program's new file.
    fd_ = ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    const int err = errno;
    pending_->Disarm();
    temporary_.clear();
    if (err != EEXIST || attempt == 100) Fail(err);
  }
  if (replaced == nullptr) return;
  // A replaced file keeps its owner where we may give it (root saving a user's
  // photo, or a group we belong to), and its permission bits but the set-id ones.
  const bool root = ::geteuid() == 0;
  if (replaced->owner != ::geteuid() || replaced->group != ::getegid())
    (void)::fchown(fd_, root ? replaced->owner : static_cast<uid_t>(-1), replaced->group);  // best effort, as cp
  if (::fchmod(fd_, replaced->mode & 0777) != 0) Fail(errno);
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Abandon() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
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

void AtomicFile::Commit() {
  if (!inPlace_ && ::fsync(fd_) != 0) Fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail(errno);
  if (inPlace_) {
    committed_ = true;
    return;
  }
  if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) Fail(errno);
  committed_ = true;
  // Without this the rename may not survive a crash. A folder opened without
  // read permission cannot be synced (EBADF), and some file systems cannot sync
  // folders at all (EINVAL); neither is a failure of this write.
  if (::fsync(folder_) != 0 && errno != EBADF && errno != EINVAL) Fail(errno);
}

void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace files
