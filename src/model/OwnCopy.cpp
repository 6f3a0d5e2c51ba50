#include "model/OwnCopy.h"

#include "formats/PropertyList.h"
#include "platform/FileSystem.h"

#include <QDir>

namespace tandrel {

HostPlatform hostPlatform()
{
#ifdef Q_OS_MACOS
    return HostPlatform::MacOS;
#else
    return HostPlatform::Linux;
#endif
}

std::optional<QString> ownCopyToTrash(
    HostPlatform platform, const QString &applicationFilePath, const QString &appImage)
{
    if (platform == HostPlatform::Linux) {
        if (appImage.startsWith(QLatin1Char('/'))
            && appImage.endsWith(QLatin1String(".AppImage"), Qt::CaseInsensitive)
            && fs::itemKind(appImage) == fs::ItemKind::File)
            return QDir::cleanPath(appImage);
        return std::nullopt;
    }
    // .../Name.app/Contents/MacOS/<executable>: the bundle is three levels up.
    const QStringList parts = QDir::cleanPath(applicationFilePath).split(QLatin1Char('/'));
    if (parts.size() < 5 || parts.at(parts.size() - 2) != QLatin1String("MacOS")
        || parts.at(parts.size() - 3) != QLatin1String("Contents")
        || !parts.at(parts.size() - 4).endsWith(QLatin1String(".app")))
        return std::nullopt;
    const QString bundle = parts.mid(0, parts.size() - 3).join(QLatin1Char('/'));
    if (fs::itemKind(bundle) != fs::ItemKind::Directory)
        return std::nullopt;
    const std::optional<QVariantMap> info
        = readPropertyListFile(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!info
        || info->value(QStringLiteral("CFBundleIdentifier")).toString() != QLatin1String(ownBundleIdentifier))
        return std::nullopt;
    return bundle;
}

} // namespace tandrel

namespace tandrel {

void trashOwnCopy(const QString &copy)
{
    try {
        fs::trashItem(copy);
    } catch (const FileSystemError &) {
    }
}

} // namespace tandrel
