#include "platform/linux/LinuxWorkspace.h"

#include "platform/FileSystem.h"
#include "platform/PlatformWorkspace.h"
#include "platform/linux/DesktopLauncher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

namespace tandrel {
namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

void openWithDesktopServices(const QUrl &folder)
{
    // QDesktopServices needs the GUI application's platform services.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QDesktopServices::openUrl(folder);
}

} // namespace

Workspace &platformWorkspace()
{
    static LinuxWorkspace workspace;
    return workspace;
}

LinuxWorkspace::LinuxWorkspace(FolderOpener folderOpener)
    : m_openFolder(folderOpener ? std::move(folderOpener) : FolderOpener(openWithDesktopServices))
{
}

QImage LinuxWorkspace::iconForFile(const QString &)
{
    return {};
}

void LinuxWorkspace::openApplication(
    const QUrl &bundle, const QString &executable, const QStringList &arguments)
{
    if (!bundle.isLocalFile() || executable.isEmpty())
        return;
    const QString path = withoutTrailingSlashes(bundle.toLocalFile());
    if (!executable.startsWith(path + QStringLiteral("/Contents/MacOS/"))
        || !fs::isExecutableFile(executable))
        return;
    // Started directly (no shell) and detached: it outlives us and is never waited for.
    QProcess::startDetached(executable, arguments);
}

bool LinuxWorkspace::openDesktopEntry(
    const QString &path, const EarlyExitHandler &onEarlyExit, const QStringList &links)
{
    return launchDesktopFile(path, onEarlyExit, links);
}

void LinuxWorkspace::activateFileViewerSelecting(const QList<QUrl> &items)
{
    QStringList uris;
    QList<QUrl> parents;
    for (const QUrl &item : items) {
        if (!item.isLocalFile())
            continue;
        uris.append(item.toString(QUrl::FullyEncoded));
        const QFileInfo info(withoutTrailingSlashes(item.toLocalFile()));
        const QUrl parent = QUrl::fromLocalFile(info.absolutePath());
        if (!parents.contains(parent))
            parents.append(parent);
    }
    if (uris.isEmpty())
        return;

    // Copied, not captured through `this`: the reply may come after we are gone.
    const auto fallback = [openFolder = m_openFolder, parents]() {
        for (const QUrl &parent : parents)
            openFolder(parent);
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallback();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << uris << QString(); // the URIs, then an empty startup notification id
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [fallback](QDBusPendingCallWatcher *finished) {
            if (finished->isError())
                fallback();
            finished->deleteLater();
        });
}

} // namespace tandrel
