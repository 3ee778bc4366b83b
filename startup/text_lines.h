// Lines of a text held in memory, cut the two ways the readers of the files cut them: as the
// data readers' fgets hands them over, and as whole lines (line end removed), as lint numbers
// them.
#pragma once
#include <cstddef>

#include "startup/tables.h"

namespace pellix {

struct TextCursor {
  const char* text;
  size_t size;
  size_t pos = 0;
};

// fgets into a buffer of TableLineSize: at most TableLineSize - 1 characters, up to and with
// the line end; NUL-terminated. False at the end of the text.
bool NextReaderLine(TextCursor& cursor, char (&line)[TableLineSize]);

// The next whole line without its "\n" (and one "\r" before it). False at the end of the text.
bool NextWholeLine(TextCursor& cursor, const char*& begin, size_t& length);

// The data files read from memory, line by line with the start-up line readers, as
// ReadWeaponFile and ReadSurfaceFile read them from the runtime's stream.
void ReadWeaponText(const char* text, size_t size, WeaponBallistics* rows, int32_t count);
void ReadSurfaceText(const char* text, size_t size, SurfaceBallistics* rows);

}  // namespace pellix
