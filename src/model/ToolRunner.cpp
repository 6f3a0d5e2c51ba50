#include "model/ToolRunner.h"

#include <QProcess>

namespace tandrel {

void runTool(const QString &path, const QStringList &arguments, std::chrono::milliseconds timeLimit)
{
    QProcess process;
    process.setProgram(path);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted())
        return;
    if (process.waitForFinished(int(timeLimit.count())))
        return;
    process.kill();
    process.waitForFinished(5000);
}

} // namespace tandrel
