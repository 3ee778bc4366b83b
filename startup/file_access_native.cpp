// POSIX calls: no buffered stream, so nothing is allocated.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "startup/data_paths.h"
#include "startup/file_access.h"
#include "startup/profile.h"

namespace pellix {
namespace {

// A Windows-style path in this platform's form; false when it does not fit.
bool LocalPath(const char* path, char (&out)[PathBufferSize]) {
  const size_t length = std::strlen(path);
  if (length >= PathBufferSize) return false;
  std::memcpy(out, path, length + 1);
  ToPlatformPath(out);
  return true;
}

FileStamp Stamp(const char* path) {
  char local[PathBufferSize];
  struct stat info {};
  if (!LocalPath(path, local) || stat(local, &info) != 0) return {};
  const uint64_t ns = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                      static_cast<uint64_t>(info.st_mtim.tv_nsec);
  return {true, ns, static_cast<uint64_t>(info.st_size)};
}

int64_t Read(const char* path, char* buffer, size_t capacity) {
  char local[PathBufferSize];
  if (!LocalPath(path, local)) return -1;
  const int fd = open(local, O_RDONLY);
  if (fd < 0) return -1;
  size_t total = 0;
  for (;;) {
    char spill;  // one byte past a full buffer tells that the file does not fit
    char* into = total < capacity ? buffer + total : &spill;
    const size_t room = total < capacity ? capacity - total : 1;
    const ssize_t n = ::read(fd, into, room);
    if (n < 0) {
      close(fd);
      return -1;
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
    if (total > capacity) break;
  }
  close(fd);
  return static_cast<int64_t>(total);
}

bool Write(const char* path, const char* data, size_t size, bool append) {
  char local[PathBufferSize];
  if (!LocalPath(path, local)) return false;
  const int fd = open(local, O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == size;
}

}  // namespace

FileAccess SystemFileAccess() { return {Stamp, Read, Write, false}; }

}  // namespace pellix
