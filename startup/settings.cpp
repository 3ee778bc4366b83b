#include "startup/settings.h"

namespace pellix {

Settings settings{};

}  // namespace pellix
