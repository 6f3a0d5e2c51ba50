// The desktop-entry readers over arbitrary bytes: the entry as an app and as an instance
// entry (through a file, as discovery and the catalogue read them), and its Exec value, or
// the bytes themselves taken as one, split into words and rewritten for every strategy.
#include "FuzzInput.h"

#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopExec.h"
#include "model/desktop/DesktopInstance.h"
#include "model/desktop/DesktopKeyFile.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

namespace {

const QString folder
    = QDir::tempPath() + QStringLiteral("/tandrel-fuzz-desktop-") + QString::number(::getpid());
const QString entryPath = folder + QStringLiteral("/tandrel-0f8fad5b-d9cb-469f-a165-70867728950e.desktop");

void rewrite(const QString &exec)
{
    if (const auto words = tandrel::execWords(exec))
        (void)tandrel::programIndex(*words);
    (void)tandrel::execSandboxKind(exec);
    for (const auto strategy : { tandrel::LaunchStrategy::IsolatedHome, tandrel::LaunchStrategy::UserDataDir,
             tandrel::LaunchStrategy::GeckoProfile })
        (void)tandrel::instanceExec(
            exec, tandrel::launchAdditions(strategy, QStringLiteral("/d a%"), QStringLiteral("c")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = tandrel::fuzz::rawBytes(data, size);
    rewrite(QString::fromUtf8(bytes));
    if (const tandrel::KeyFile file = tandrel::parseDesktopKeyFile(bytes)) {
        rewrite(tandrel::keyString(file.get(), QStringLiteral("Exec")));
        (void)tandrel::keyNames(file.get(), 100);
    }
    QDir().mkpath(folder);
    QFile file(entryPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return 0;
    file.close();
    (void)tandrel::readDesktopApp(entryPath, QStringLiteral("fuzz.desktop"));
    (void)tandrel::readDesktopInstance(entryPath, folder);
    return 0;
}
