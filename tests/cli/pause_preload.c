/* Preloaded into prosvitek-cli by tests: stops the process (SIGSTOP) at one
 * chosen moment of writing a result, so that a test can send it a signal at
 * exactly that moment instead of polling for it.
 *   PROSVITEK_PAUSE=create:N  right after the Nth temporary file was created
 *   PROSVITEK_PAUSE=rename:N  right before the Nth temporary file is renamed
 * A temporary file is one whose name begins with a dot. Only the calls the
 * writer makes are watched; should it change them, the test finds no pause
 * and fails rather than passing untested. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Event(const char* kind, const char* path) {
  static int seen[2];
  const char* want = getenv("PROSVITEK_PAUSE");
  const char* slash = strrchr(path, '/');
  if (!want || (slash ? slash[1] : path[0]) != '.') return;
  const size_t length = strlen(kind);
  if (strncmp(want, kind, length) != 0 || want[length] != ':') return;
  if (++seen[kind[0] == 'c'] == atoi(want + length + 1)) raise(SIGSTOP);
}

int openat(int at, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | __O_TMPFILE)) { /* the mode is passed only then */
    va_list ap;
    va_start(ap, flags);
    mode = (mode_t)va_arg(ap, unsigned);
    va_end(ap);
  }
  static int (*real)(int, const char*, int, ...);
  if (!real) real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, "openat");
  const int fd = real(at, path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT)) Event("create", path);
  return fd;
}

int renameat(int fromAt, const char* from, int toAt, const char* to) {
  static int (*real)(int, const char*, int, const char*);
  if (!real) real = (int (*)(int, const char*, int, const char*))dlsym(RTLD_NEXT, "renameat");
  Event("rename", from);
  return real(fromAt, from, toAt, to);
}
