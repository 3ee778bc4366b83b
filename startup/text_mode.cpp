// The runtime's text-mode reading of a data file, for bytes the reload read itself.
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

}  // namespace pellix
