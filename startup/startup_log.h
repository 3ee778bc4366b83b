// The start-up log: a few lines that tell the user what start-up found and why the plug-in is
// inactive when it stops. Kept in a fixed buffer and written to "pellix.log" beside the
// executable once start-up is over.
#pragma once
#include <cstddef>
#include <cstdio>

namespace pellix {

struct StartupLog {
  static constexpr size_t Capacity = 4096;
  char text[Capacity] = {};
  size_t length = 0;

  // Appends one line (printf format); cut short, never overflowing, when the buffer is full.
  void Line(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
};

// Writes the log to dataFolder + "\pellix.log" through `open`; false when that path does not
// fit or the file cannot be written.
bool WriteStartupLog(const StartupLog& log, std::FILE* (*open)(const char* path, const char* mode));

}  // namespace pellix
