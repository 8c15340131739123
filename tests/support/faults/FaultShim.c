/* Preloaded into wavorax-cli by the fault tests (LD_PRELOAD). It fails the reads of one
 * chosen file with EIO once a number of its bytes have been read, and the writes of files
 * below a chosen folder with ENOSPC once a number of bytes have been written to each, as a
 * failing disk and a full one would:
 *   WAVORAX_FAULT_READ_PATH, WAVORAX_FAULT_READ_AFTER    the file, and the bytes that still read
 *   WAVORAX_FAULT_WRITE_DIR, WAVORAX_FAULT_WRITE_AFTER   the folder, and the bytes per file
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum { kMaxFds = 4096 };
static unsigned long long readBytes[kMaxFds], writtenBytes[kMaxFds];
static unsigned char watchRead[kMaxFds], watchWrite[kMaxFds];

static void Watch(int fd, const char* path) {
  if (fd < 0 || fd >= kMaxFds || !path) return;
  const char* readPath = getenv("WAVORAX_FAULT_READ_PATH");
  const char* writeDir = getenv("WAVORAX_FAULT_WRITE_DIR");
  watchRead[fd] = readPath && strcmp(path, readPath) == 0;
  watchWrite[fd] = writeDir && strncmp(path, writeDir, strlen(writeDir)) == 0;
  readBytes[fd] = writtenBytes[fd] = 0;
}

static unsigned long long Limit(const char* name) {
  const char* v = getenv(name);
  return v ? strtoull(v, NULL, 10) : 0;
}

/* The next definition of a function, the one the shim stands in front of. */
#define REAL(name, ret, args)    \
  static ret(*real) args = NULL; \
  if (!real) real = (ret(*) args)dlsym(RTLD_NEXT, name)

#define OPEN_MODE(flags)                 \
  mode_t mode = 0;                       \
  if ((flags) & (O_CREAT | O_TMPFILE)) { \
    va_list ap;                          \
    va_start(ap, flags);                 \
    mode = va_arg(ap, mode_t);           \
    va_end(ap);                          \
  }

int open(const char* path, int flags, ...) {
  OPEN_MODE(flags);
  REAL("open", int, (const char*, int, ...));
  const int fd = real(path, flags, mode);
  Watch(fd, path);
  return fd;
}
int open64(const char* path, int flags, ...) {
  OPEN_MODE(flags);
  REAL("open64", int, (const char*, int, ...));
  const int fd = real(path, flags, mode);
  Watch(fd, path);
  return fd;
}
int openat(int dirfd, const char* path, int flags, ...) {
  OPEN_MODE(flags);
  REAL("openat", int, (int, const char*, int, ...));
  const int fd = real(dirfd, path, flags, mode);
  Watch(fd, path);
  return fd;
}
int openat64(int dirfd, const char* path, int flags, ...) {
  OPEN_MODE(flags);
  REAL("openat64", int, (int, const char*, int, ...));
  const int fd = real(dirfd, path, flags, mode);
  Watch(fd, path);
  return fd;
}

static ssize_t AfterRead(int fd, ssize_t n) {
  if (n <= 0 || fd < 0 || fd >= kMaxFds || !watchRead[fd]) return n;
  if (readBytes[fd] >= Limit("WAVORAX_FAULT_READ_AFTER")) {
    errno = EIO;
    return -1;
  }
  readBytes[fd] += (unsigned long long)n;
  return n;
}

static int WriteRefused(int fd, size_t count) {
  if (fd < 0 || fd >= kMaxFds || !watchWrite[fd]) return 0;
  if (writtenBytes[fd] + count > Limit("WAVORAX_FAULT_WRITE_AFTER")) return 1;
  writtenBytes[fd] += count;
  return 0;
}

ssize_t read(int fd, void* buf, size_t count) {
  REAL("read", ssize_t, (int, void*, size_t));
  return AfterRead(fd, real(fd, buf, count));
}
ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
  REAL("pread", ssize_t, (int, void*, size_t, off_t));
  return AfterRead(fd, real(fd, buf, count, offset));
}
ssize_t pread64(int fd, void* buf, size_t count, off_t offset) {
  REAL("pread64", ssize_t, (int, void*, size_t, off_t));
  return AfterRead(fd, real(fd, buf, count, offset));
}
ssize_t write(int fd, const void* buf, size_t count) {
  REAL("write", ssize_t, (int, const void*, size_t));
  if (WriteRefused(fd, count)) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, buf, count);
}
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
  REAL("pwrite", ssize_t, (int, const void*, size_t, off_t));
  if (WriteRefused(fd, count)) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, buf, count, offset);
}
ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) {
  REAL("pwrite64", ssize_t, (int, const void*, size_t, off_t));
  if (WriteRefused(fd, count)) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, buf, count, offset);
}
