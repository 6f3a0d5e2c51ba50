#include "model/bundle/ToolRunner.h"

#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace tandrel {

void runTool(const QString &path, const QStringList &arguments, std::chrono::milliseconds timeLimit)
{
    QProcess process;
    process.setProgram(path);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group: a tool that forks cannot leave children behind at the limit.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted())
        return;
    if (process.waitForFinished(int(timeLimit.count())))
        return;
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.kill();
    process.waitForFinished(5000);
}

} // namespace tandrel
