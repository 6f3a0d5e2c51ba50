#include "support/TestEnvironment.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdlib>

namespace tandrel::test {
namespace {

QTemporaryDir *root()
{
    static QTemporaryDir dir; // removed when the process exits
    return &dir;
}

} // namespace

void isolateEnvironment()
{
    QTemporaryDir *dir = root();
    if (!dir->isValid())
        std::abort();
    const QString base = dir->path();
    const auto point = [&base](const char *variable, const QString &relative) {
        const QString path = base + QLatin1Char('/') + relative;
        QDir().mkpath(path);
        qputenv(variable, QFile::encodeName(path));
    };
    point("HOME", QStringLiteral("home"));
    point("XDG_CONFIG_HOME", QStringLiteral("home/.config"));
    point("XDG_DATA_HOME", QStringLiteral("home/.local/share"));
    point("XDG_CACHE_HOME", QStringLiteral("home/.cache"));
    point("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
    QFile::setPermissions(base + QStringLiteral("/runtime"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
}

QString isolatedHome()
{
    return root()->path() + QStringLiteral("/home");
}

} // namespace tandrel::test
