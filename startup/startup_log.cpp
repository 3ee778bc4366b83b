#include "startup/startup_log.h"

#include <cstdarg>

#include "startup/data_paths.h"

namespace pellix {

void StartupLog::Line(const char* format, ...) {
  if (length + 1 >= Capacity) return;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(text + length, Capacity - length, format, args);
  va_end(args);
  if (written < 0) {
    text[length] = '\0';
    return;
  }
  length += static_cast<size_t>(written);
  if (length >= Capacity - 1) length = Capacity - 2;  // keep room for the line end
  text[length++] = '\n';
  text[length] = '\0';
}

bool WriteStartupLog(const StartupLog& log,
                     std::FILE* (*open)(const char* path, const char* mode)) {
  char path[PathBufferSize];
  if (!BuildDataPath(path, LogFileName)) return false;
  std::FILE* file = open(path, "w");
  if (!file) return false;
  const bool written = std::fwrite(log.text, 1, log.length, file) == log.length;
  return std::fclose(file) == 0 && written;
}

}  // namespace pellix
