/* Preloaded into prosvitek-cli by tests: stops the process (SIGSTOP) at one
 * chosen moment of writing a result, so that a test can send it a signal at
 * exactly that moment instead of polling for it.
 *   PROSVITEK_PAUSE=create:N  right after the Nth temporary file was created
 *                             (unnamed, or named with a leading dot)
 *   PROSVITEK_PAUSE=commit:N  right before the Nth finished file is put in
 *                             place (linked under its name, or a dot-named
 *                             temporary file renamed over it)
 * Only the calls the writer makes are watched; should it change them, the
 * test finds no pause and fails rather than passing untested.
 * Faults the tests need, where a file system would have to misbehave:
 *   PROSVITEK_NO_TMPFILE=1       the file system cannot make unnamed files
 *   PROSVITEK_FAIL_FOLDER_SYNC=1 syncing a folder fails (EIO)
 * and a way to widen a race, so that a test meets it on every run:
 *   PROSVITEK_SLOW_REMOVE=1      removing a file takes 2 ms (as on a network
 *                                file system), so the other threads go on
 *                                while a signal handler removes files */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

static int Dotted(const char* path) {
  const char* slash = strrchr(path, '/');
  return (slash ? slash[1] : path[0]) == '.';
}

/* O_TMPFILE includes O_DIRECTORY: a folder's open is no temporary file. */
static int Unnamed(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }

static void Event(const char* kind) {
  static int seen[2];
  const char* want = getenv("PROSVITEK_PAUSE");
  if (!want) return;
  const size_t length = strlen(kind);
  if (strncmp(want, kind, length) != 0 || want[length] != ':') return;
  if (__atomic_add_fetch(&seen[kind[0] == 'c' && kind[1] == 'r'], 1, __ATOMIC_SEQ_CST) == atoi(want + length + 1))
    raise(SIGSTOP);
}

int openat(int at, const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) || Unnamed(flags)) { /* the mode is passed only then */
    va_list ap;
    va_start(ap, flags);
    mode = (mode_t)va_arg(ap, unsigned);
    va_end(ap);
  }
  if (Unnamed(flags) && getenv("PROSVITEK_NO_TMPFILE")) {
    errno = EOPNOTSUPP;
    return -1;
  }
  const int temporary = Unnamed(flags) || ((flags & O_CREAT) && Dotted(path));
  static int (*real)(int, const char*, int, ...);
  if (!real) real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, "openat");
  const int fd = real(at, path, flags, mode);
  if (fd >= 0 && temporary) Event("create");
  return fd;
}

int renameat(int fromAt, const char* from, int toAt, const char* to) {
  static int (*real)(int, const char*, int, const char*);
  if (!real) real = (int (*)(int, const char*, int, const char*))dlsym(RTLD_NEXT, "renameat");
  if (Dotted(from)) Event("commit");
  return real(fromAt, from, toAt, to);
}

int linkat(int fromAt, const char* from, int toAt, const char* to, int flags) {
  static int (*real)(int, const char*, int, const char*, int);
  if (!real) real = (int (*)(int, const char*, int, const char*, int))dlsym(RTLD_NEXT, "linkat");
  if (!Dotted(to)) Event("commit");
  return real(fromAt, from, toAt, to, flags);
}

int fsync(int fd) {
  static int (*real)(int);
  if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  struct stat st;
  if (getenv("PROSVITEK_FAIL_FOLDER_SYNC") && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EIO;
    return -1;
  }
  return real(fd);
}

int unlinkat(int at, const char* path, int flags) {
  static int (*real)(int, const char*, int);
  if (!real) real = (int (*)(int, const char*, int))dlsym(RTLD_NEXT, "unlinkat");
  if (getenv("PROSVITEK_SLOW_REMOVE")) {
    const struct timespec pause = {0, 2000000};
    nanosleep(&pause, NULL); /* safe in a signal handler, where the removal runs */
  }
  return real(at, path, flags);
}
