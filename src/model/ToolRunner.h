#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace tandrel {

// A tool that has not exited by then is killed, so a hung tool cannot freeze the window.
inline constexpr std::chrono::milliseconds toolTimeLimit = std::chrono::minutes(2);

// Runs the program at an absolute path with the arguments one by one (no shell),
// its output and errors discarded, and waits for it. A tool that cannot start is
// ignored; the exit status is never read.
void runTool(const QString &path, const QStringList &arguments,
             std::chrono::milliseconds timeLimit = toolTimeLimit);

} // namespace tandrel
