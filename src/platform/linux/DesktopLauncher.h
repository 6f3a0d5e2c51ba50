#pragma once

#include "platform/Workspace.h"

#include <QString>
#include <QStringList>

namespace tandrel {

// Starts the desktop entry at the path the way the desktop would, through GIO, with the
// URIs as its Exec asks for them (none by default); the program is detached and outlives us. False when GIO
// cannot load the entry (a missing TryExec program, say) or the launch fails. With onEarlyExit, the program's
// error output passes through us for its first seconds (then on to ours, as before), and if it ends with an
// error in that time the handler is told, on the main thread, which needs a running event loop.
bool launchDesktopFile(
    const QString &path, const EarlyExitHandler &onEarlyExit = {}, const QStringList &uris = {});

// The command GIO would run for the entry without files or URIs: its Exec with the field
// codes expanded as GIO expands them, split into words. Empty when GIO cannot load it.
QStringList desktopFileCommandLine(const QString &path);

} // namespace tandrel
