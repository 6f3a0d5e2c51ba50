#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace tandrel {

// A tool that has not exited by then is killed with everything it started, so a hung
// tool cannot keep the user waiting.
inline constexpr std::chrono::milliseconds toolTimeLimit = std::chrono::seconds(30);

// Runs the program at an absolute path with the arguments one by one (no shell),
// its output and errors discarded, and waits for it. A tool that cannot start is
// ignored; the exit status is never read. The tool runs in a process group of its own,
// which is killed whole at the time limit. Any thread.
void runTool(
    const QString &path, const QStringList &arguments, std::chrono::milliseconds timeLimit = toolTimeLimit);

} // namespace tandrel
