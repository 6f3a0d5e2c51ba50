#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>

namespace tandrel {

// The processes of this user whose command line or environment names one of the folders
// (the folder itself, or a path inside it: "--user-data-dir=<folder>", "HOME=<folder>/home"),
// by folder; folders no process names are left out. One pass over the process list; what
// cannot be read (another user's environment, a process that ended meanwhile) is skipped.
// Any thread. Where the platform offers no process list, always empty.
QHash<QString, QList<qint64>> processesUsing(const QStringList &folders);

// Ends the processes and every process descended from them: SIGTERM first, SIGKILL to
// those still there after `grace`. Never signals this process, its ancestors or pid 1.
// True when none of them is left. Blocks for up to about twice `grace`: not on the main thread
// for long graces.
bool endProcesses(const QList<qint64> &pids, std::chrono::milliseconds grace);

} // namespace tandrel
