#include "host/host_api.h"

namespace pellix {

HostApi host{};

}  // namespace pellix
