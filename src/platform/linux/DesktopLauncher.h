#pragma once

#include <QString>
#include <QStringList>

namespace tandrel {

// Starts the desktop entry at the path the way the desktop would, through GIO, without
// files or URIs; the program is detached and outlives us. False when GIO cannot load the
// entry (a missing TryExec program, say) or the launch fails.
bool launchDesktopFile(const QString &path);

// The command GIO would run for the entry without files or URIs: its Exec with the field
// codes expanded as GIO expands them, split into words. Empty when GIO cannot load it.
QStringList desktopFileCommandLine(const QString &path);

} // namespace tandrel
