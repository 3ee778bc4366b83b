#include <cstdlib>

#include "startup/runtime_text.h"

namespace pellix {

double RuntimeAtof(const char* text) { return std::atof(text); }

}  // namespace pellix
