#pragma once

#include "platform/Workspace.h"

namespace tandrel {

// The workspace of the system this build runs on, made on first use. Defined by the
// one per-OS implementation file that CMake compiles.
Workspace &platformWorkspace();

} // namespace tandrel
