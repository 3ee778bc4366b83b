// Whole-file access for the reload: a file's last-write stamp, its bytes into a buffer of the
// caller's, and the log written or appended. Plain system calls on both platforms (kernel32's
// file functions, POSIX natively), so none of them allocates on the heap.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pellix {

// What tells one version of a file from the next: its last-write time and its size.
struct FileStamp {
  bool exists = false;
  uint64_t writeTime = 0;  // the platform's own units
  uint64_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

struct FileAccess {
  // Paths are Windows-style (backslash separators), as start-up builds them.
  FileStamp (*stamp)(const char* path) = nullptr;
  // Reads the whole file into `buffer`: its size, or -1 when it cannot be read, or more than
  // `capacity` (nothing is written past it) when it does not fit.
  int64_t (*read)(const char* path, char* buffer, size_t capacity) = nullptr;
  // Writes `size` bytes: at the end of the file when `append`, else in place of its contents.
  bool (*write)(const char* path, const char* data, size_t size, bool append) = nullptr;
  // The C runtime opens the data files in text mode: CR LF reads as LF, and Ctrl-Z ends the
  // file (Windows). Natively a file's bytes are its text.
  bool textMode = false;
};

FileAccess SystemFileAccess();

// The runtime's text-mode reading of `size` bytes, in place: CR LF becomes LF and a Ctrl-Z
// ends the text. Returns the new size.
size_t ToRuntimeText(char* text, size_t size);

}  // namespace pellix
