#include "model/Store.h"

#include "l10n/Tr.h"
#include "model/Roads.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <utility>

namespace tandrel {

Store::Store(std::optional<QStringList> applicationFolders, QObject *parent, Start start)
    : QObject(parent)
    , m_applicationFolders(std::move(applicationFolders))
{
    if (start != Start::Refresh)
        return;
    refresh();
    m_watcher = new QFileSystemWatcher(this);
    m_rescan = new QTimer(this);
    // A creation or deletion is several steps on disk; one rescan after the last of them.
    m_rescan->setSingleShot(true);
    m_rescan->setInterval(200);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_rescan, qOverload<>(&QTimer::start));
    // Watched first, so that what is made while the scan runs is seen by one or the other.
    connect(m_rescan, &QTimer::timeout, this, [this] {
        watchInstances();
        rescanSpaces();
    });
    watchInstances();
    m_runningTimer = new QTimer(this);
    m_runningTimer->setInterval(3000);
    connect(m_runningTimer, &QTimer::timeout, this, &Store::checkRunning);
    connect(this, &Store::spacesChanged, this, &Store::checkRunning);
    m_runningTimer->start();
    checkRunning();
    m_sizesTimer = new QTimer(this);
    m_sizesTimer->setInterval(30000);
    connect(m_sizesTimer, &QTimer::timeout, this, &Store::countSizes);
    connect(this, &Store::spacesChanged, this, &Store::countSizes);
    m_sizesTimer->start();
    countSizes();
}

void Store::watchInstances()
{
    QStringList wanted;
    for (const Road *road : roads()) {
        try {
            QString folder = road->instancesFolder();
            const QString home = Store::home();
            while (
                folder.startsWith(home + QLatin1Char('/')) && fs::itemKind(folder) != fs::ItemKind::Directory)
                folder = folder.left(folder.lastIndexOf(QLatin1Char('/')));
            if (fs::itemKind(folder) == fs::ItemKind::Directory && !wanted.contains(folder))
                wanted << folder;
        } catch (const TandrelError &) {
            // Without a home there is nothing to watch.
        }
    }
    const QStringList watched = m_watcher->directories();
    for (const QString &folder : watched) {
        if (!wanted.contains(folder))
            m_watcher->removePath(folder);
    }
    for (const QString &folder : std::as_const(wanted)) {
        if (!watched.contains(folder))
            m_watcher->addPath(folder);
    }
}

QString Store::home()
{
    const std::optional<QString> home = fs::homeDirectory();
    if (!home)
        throw TandrelError::msg(
            tandrel::tr(QStringLiteral("No encuentro tu carpeta personal: la variable HOME está vacía, no es "
                                       "una ruta absoluta o no es texto válido."),
                QStringLiteral("Can't find your home folder: the HOME variable is empty, not an absolute "
                               "path, or not valid text.")));
    return *home;
}

QString Store::spacesDir()
{
    return home() + QStringLiteral("/Applications/Tandrel");
}

QString Store::dataRoot()
{
    return home() + QStringLiteral("/Library/Application Support/Tandrel");
}

QStringList Store::applicationFolders() const
{
    return m_applicationFolders ? *m_applicationFolders : defaultApplicationFolders();
}

void Store::setApplicationFolders(std::optional<QStringList> folders)
{
    m_applicationFolders = std::move(folders);
}

QStringList Store::defaultApplicationFolders()
{
    QStringList folders;
    for (const Road *road : roads())
        folders += road->defaultFolders();
    return folders;
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
