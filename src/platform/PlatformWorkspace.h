#pragma once

#include "platform/Workspace.h"

#include <QImage>

namespace tandrel {

// The workspace of the system this build runs on, made on first use. Defined by the
// one per-OS implementation file that CMake compiles.
Workspace &platformWorkspace();

// The icon for anything without one of its own: a neutral rounded square with a
// simple mark, 512 × 512, drawn here so that no icon theme is needed. Never null.
QImage genericApplicationIcon();

} // namespace tandrel
