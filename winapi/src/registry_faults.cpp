// Refusals a test asks of the registry where nothing in the tree explains
// them: Windows may refuse an operation that a handle's rights allow (a
// policy, a hive that cannot be written), and callers must report it.
#include <windows.h>

#include <mutex>

#include "registry_internal.h"
#include "winapi_control.h"

namespace {

LONG g_valueDeletionFailure = ERROR_SUCCESS;

}  // namespace

namespace winapi {
namespace registry {

LONG TakeValueDeletionFailure() {
  const LONG status = g_valueDeletionFailure;
  g_valueDeletionFailure = ERROR_SUCCESS;
  return status;
}

}  // namespace registry
}  // namespace winapi

EXTERN_C void WinapiFailNextValueDeletion(LONG status) {
  std::lock_guard<std::recursive_mutex> hold(winapi::registry::Lock());
  g_valueDeletionFailure = status;
}
