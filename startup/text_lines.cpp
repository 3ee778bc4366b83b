#include "startup/text_lines.h"

#include <cstring>

#include "startup/file_access.h"

namespace pellix {

size_t ToRuntimeText(char* text, size_t size) {
  size_t out = 0;
  for (size_t in = 0; in < size; ++in) {
    if (text[in] == '\x1a') break;
    if (text[in] == '\r' && in + 1 < size && text[in + 1] == '\n') continue;
    text[out++] = text[in];
  }
  return out;
}

bool NextReaderLine(TextCursor& cursor, char (&line)[TableLineSize]) {
  if (cursor.pos >= cursor.size) return false;
  size_t n = 0;
  while (n < TableLineSize - 1 && cursor.pos < cursor.size) {
    const char c = cursor.text[cursor.pos++];
    line[n++] = c;
    if (c == '\n') break;
  }
  line[n] = '\0';
  return true;
}

bool NextWholeLine(TextCursor& cursor, const char*& begin, size_t& length) {
  if (cursor.pos >= cursor.size) return false;
  begin = cursor.text + cursor.pos;
  const void* end = std::memchr(begin, '\n', cursor.size - cursor.pos);
  length =
      end ? static_cast<size_t>(static_cast<const char*>(end) - begin) : cursor.size - cursor.pos;
  cursor.pos += length + 1;
  if (length > 0 && begin[length - 1] == '\r') --length;
  return true;
}

void ReadWeaponText(const char* text, size_t size, WeaponBallistics* rows, int32_t count) {
  TextCursor cursor{text, size};
  char line[TableLineSize];
  while (NextReaderLine(cursor, line)) {
    if (ReadWeaponLine(line, rows, count) == LineResult::Stop) break;
  }
}

void ReadSurfaceText(const char* text, size_t size, SurfaceBallistics* rows) {
  TextCursor cursor{text, size};
  char line[TableLineSize];
  while (NextReaderLine(cursor, line)) {
    if (ReadSurfaceLine(line, rows) == LineResult::Stop) break;
  }
}

}  // namespace pellix
