#include "host/host_binding.h"

namespace pellix {

void BindHostGame() {
  // the host's globals and routines are bound here
}

}  // namespace pellix
