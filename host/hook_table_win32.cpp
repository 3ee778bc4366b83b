#include "host/hook_table.h"

namespace pellix {

void InstallHooks() {
  // hook installation comes here
}

}  // namespace pellix
