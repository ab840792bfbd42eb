// Start-up when the shared library is loaded.

#include "store/Startup.h"

namespace {
__attribute__((constructor)) void StartAtLoad() { tolsa::LoadVariableDefinitions(); }
}  // namespace
