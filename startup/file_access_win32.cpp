// kernel32's file functions: the handle is the system's, nothing comes from the C heap.
#include <windows.h>

#include "startup/file_access.h"

namespace pellix {
namespace {

FileStamp Stamp(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return {};
  const uint64_t time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime;
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return {true, time, size};
}

// Shared with every writer: an editor may hold the file open while the game reads it.
HANDLE Open(const char* path, DWORD access, DWORD disposition) {
  return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int64_t Read(const char* path, char* buffer, size_t capacity) {
  HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return -1;
  size_t total = 0;
  for (;;) {
    char spill;  // one byte past a full buffer tells that the file does not fit
    char* into = total < capacity ? buffer + total : &spill;
    const size_t room = total < capacity ? capacity - total : 1;
    DWORD n = 0;
    if (!ReadFile(file, into, static_cast<DWORD>(room), &n, nullptr)) {
      CloseHandle(file);
      return -1;
    }
    if (n == 0) break;
    total += n;
    if (total > capacity) break;
  }
  CloseHandle(file);
  return static_cast<int64_t>(total);
}

bool Write(const char* path, const char* data, size_t size, bool append) {
  HANDLE file =
      Open(path, append ? FILE_APPEND_DATA : GENERIC_WRITE, append ? OPEN_ALWAYS : CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}

}  // namespace

FileAccess SystemFileAccess() { return {Stamp, Read, Write, true}; }

}  // namespace pellix
