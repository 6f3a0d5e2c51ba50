#include "model/Store.h"

#include "model/ToolRunner.h"

#include <QDir>

#include <utility>

namespace tandrel {

Store::Store(std::optional<QStringList> applicationFolders, QObject *parent)
    : QObject(parent)
    , m_applicationFolders(std::move(applicationFolders))
{
    refresh();
}

QString Store::spacesDir()
{
    return QDir::homePath() + QStringLiteral("/Applications/Tandrel");
}

QString Store::dataRoot()
{
    return QDir::homePath() + QStringLiteral("/Library/Application Support/Tandrel");
}

QStringList Store::applicationFolders() const
{
    return m_applicationFolders ? *m_applicationFolders : defaultApplicationFolders();
}

QStringList Store::defaultApplicationFolders()
{
    return {QStringLiteral("/Applications"), QDir::homePath() + QStringLiteral("/Applications")};
}

void Store::runTool(const QString &path, const QStringList &arguments)
{
    tandrel::runTool(path, arguments);
}

void Store::setApps(QList<InstalledApp> apps)
{
    m_apps = std::move(apps);
    Q_EMIT appsChanged();
}

void Store::setSpaces(QList<SpaceInfo> spaces)
{
    m_spaces = std::move(spaces);
    Q_EMIT spacesChanged();
}

void Store::setSandboxedPaths(QSet<QString> paths)
{
    m_sandboxedPaths = std::move(paths);
    Q_EMIT sandboxedPathsChanged();
}

} // namespace tandrel
