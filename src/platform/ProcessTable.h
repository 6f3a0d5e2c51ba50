#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// What the process list of the platform tells of each process; the rest of Processes.cpp
// is the same everywhere.
namespace tandrel::processtable {

// Every process id there is now.
QList<qint64> processIds();

// The command line and the environment, as one text of NUL-separated strings, capped;
// empty when they cannot be read (another user's process, one that ended).
QByteArray argumentsAndEnvironment(qint64 pid);

struct ProcessState
{
    qint64 parent = 0;
    bool zombie = false;
};
std::optional<ProcessState> stateOf(qint64 pid);

} // namespace tandrel::processtable
