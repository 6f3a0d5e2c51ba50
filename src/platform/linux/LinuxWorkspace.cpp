#include "platform/linux/LinuxWorkspace.h"

#include "formats/Icns.h"
#include "formats/PropertyList.h"
#include "platform/FileSystem.h"
#include "platform/PlatformWorkspace.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

#include <optional>

namespace tandrel {
namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// A file name from Info.plist, used inside the bundle: nothing that could leave its folder.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1String(".."))
        && !name.contains(QChar(0));
}

// A non-empty string value of the bundle's Info.plist.
std::optional<QString> infoString(const QString &bundle, const QString &key)
{
    const std::optional<QVariantMap> info
        = readPropertyListFile(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return std::nullopt;
    const QVariant value = info->value(key);
    if (value.typeId() != QMetaType::QString || value.toString().isEmpty())
        return std::nullopt;
    return value.toString();
}

// The bundle's icon file: CFBundleIconFile in Contents/Resources. Real bundles often
// leave out ".icns"; a name with a dot in it may be meant either way, so both are tried.
QString bundleIconPath(const QString &bundle)
{
    const std::optional<QString> name = infoString(bundle, QStringLiteral("CFBundleIconFile"));
    if (!name || !isPlainName(*name))
        return {};
    const QString resources = bundle + QStringLiteral("/Contents/Resources/");
    QStringList candidates;
    if (name->contains(QLatin1Char('.')))
        candidates.append(resources + *name);
    if (!name->endsWith(QLatin1String(".icns"), Qt::CaseInsensitive))
        candidates.append(resources + *name + QStringLiteral(".icns"));
    for (const QString &candidate : std::as_const(candidates)) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
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

QImage LinuxWorkspace::iconForFile(const QString &path)
{
    const QString bundle = withoutTrailingSlashes(path);
    if (!bundle.endsWith(QLatin1String(".app"), Qt::CaseInsensitive) || !QFileInfo(bundle).isDir())
        return genericApplicationIcon();
    const QString iconPath = bundleIconPath(bundle);
    if (iconPath.isEmpty())
        return genericApplicationIcon();

    // A changed icon has a new modification time (or size), hence a new key.
    const QFileInfo info(iconPath);
    const QString key = iconPath + QLatin1Char('\n')
        + QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n')
        + QString::number(info.size());
    if (const QImage *cached = m_icons.object(key))
        return *cached;

    ++m_iconDecodeCount;
    QImage icon = readLargestIcnsImageFile(iconPath);
    qsizetype cost = qsizetype(icon.width()) * icon.height();
    // An icon that does not decode is remembered too, so it is not decoded at every
    // request; the generic image is shared, so it costs next to nothing.
    if (icon.isNull()) {
        icon = genericApplicationIcon();
        cost = 1;
    }
    m_icons.insert(key, new QImage(icon), cost);
    return icon;
}

void LinuxWorkspace::openApplication(const QUrl &bundle)
{
    if (!bundle.isLocalFile())
        return;
    const QString path = withoutTrailingSlashes(bundle.toLocalFile());
    const std::optional<QString> name = infoString(path, QStringLiteral("CFBundleExecutable"));
    if (!name || !isPlainName(*name))
        return;
    const QString executable = path + QStringLiteral("/Contents/MacOS/") + *name;
    if (!fs::isExecutableFile(executable))
        return;
    // Started directly (no shell) and detached: it outlives us and is never waited for.
    QProcess::startDetached(executable, {});
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
