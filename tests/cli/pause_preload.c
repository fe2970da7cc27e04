/* Preloaded into prosvitek-cli by tests: stops the process (SIGSTOP) at one
 * chosen moment of writing a result, so that a test can send it a signal at
 * exactly that moment instead of polling for it.
 *   PROSVITEK_PAUSE=create:N  right after the Nth temporary file was created
 *   PROSVITEK_PAUSE=rename:N  right before the Nth temporary file is renamed
 * A temporary file is one whose name begins with a dot. Every call that can
 * create or rename one is watched, whichever the writer uses. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int Temporary(const char* path) {
  const char* slash = strrchr(path, '/');
  return (slash ? slash[1] : path[0]) == '.';
}

/* Counts the event and stops when it is the chosen one. */
static void Event(const char* kind, const char* path) {
  static int seen[2];
  const char* want = getenv("PROSVITEK_PAUSE");
  if (!want || !Temporary(path)) return;
  const size_t length = strlen(kind);
  if (strncmp(want, kind, length) != 0 || want[length] != ':') return;
  const int which = kind[0] == 'c';
  if (++seen[which] == atoi(want + length + 1)) raise(SIGSTOP);
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

/* The mode argument is there only when a file may be created. */
#define MODE(flags, mode)                  \
  mode_t mode = 0;                         \
  if ((flags) & (O_CREAT | __O_TMPFILE)) { \
    va_list ap;                            \
    va_start(ap, flags);                   \
    mode = (mode_t)va_arg(ap, unsigned);   \
    va_end(ap);                            \
  }

int open(const char* path, int flags, ...) {
  MODE(flags, mode)
  const int fd = REAL(open)(path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT)) Event("create", path);
  return fd;
}

int open64(const char* path, int flags, ...) {
  MODE(flags, mode)
  const int fd = REAL(open64)(path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT)) Event("create", path);
  return fd;
}

int openat(int at, const char* path, int flags, ...) {
  MODE(flags, mode)
  const int fd = REAL(openat)(at, path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT)) Event("create", path);
  return fd;
}

int openat64(int at, const char* path, int flags, ...) {
  MODE(flags, mode)
  const int fd = REAL(openat64)(at, path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT)) Event("create", path);
  return fd;
}

int mkstemp(char* pattern) {
  const int fd = REAL(mkstemp)(pattern);
  if (fd >= 0) Event("create", pattern);
  return fd;
}

int rename(const char* from, const char* to) {
  Event("rename", from);
  return REAL(rename)(from, to);
}

int renameat(int fromAt, const char* from, int toAt, const char* to) {
  Event("rename", from);
  return REAL(renameat)(fromAt, from, toAt, to);
}

int renameat2(int fromAt, const char* from, int toAt, const char* to, unsigned flags) {
  Event("rename", from);
  return REAL(renameat2)(fromAt, from, toAt, to, flags);
}
