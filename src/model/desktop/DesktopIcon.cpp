#include "model/desktop/DesktopIcon.h"

#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopKeyFile.h"
#include "platform/FileSystem.h"

#include <QBuffer>
#include <QImageReader>

namespace tandrel {
namespace {

// Icons of a few hundred kilobytes are large; a bigger file is refused before decoding,
// and so is an image whose header claims more pixels than any icon has.
constexpr qint64 maxIconFileSize = 4 * 1024 * 1024;
constexpr int maxIconSide = 4096;

QImage readIcon(const QString &path)
{
    QByteArray bytes;
    try {
        bytes = fs::readFile(path, maxIconFileSize);
    } catch (const FileSystemError &) {
        return {};
    }
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.width() > maxIconSide || size.height() > maxIconSide)
        return {};
    return reader.read();
}

// Icon themes are looked up by hand, because QIcon::fromTheme belongs to the main thread
// and the icons are read in the background: the hicolor theme at its larger sizes, then
// the old pixmaps folder.
QImage themeIcon(const QString &name)
{
    QStringList bases;
    if (const std::optional<QString> home = dataHome())
        bases << *home;
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    bases << dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    static const QStringList sizes { QStringLiteral("512x512"), QStringLiteral("256x256"),
        QStringLiteral("192x192"), QStringLiteral("128x128"), QStringLiteral("96x96"),
        QStringLiteral("64x64"), QStringLiteral("48x48"), QStringLiteral("32x32") };
    QStringList candidates;
    for (const QString &base : std::as_const(bases)) {
        for (const QString &size : sizes)
            candidates << base + QStringLiteral("/icons/hicolor/") + size + QStringLiteral("/apps/") + name
                    + QStringLiteral(".png");
    }
    for (const QString &base : std::as_const(bases))
        candidates << base + QStringLiteral("/pixmaps/") + name + QStringLiteral(".png")
                   << base + QStringLiteral("/pixmaps/") + name + QStringLiteral(".xpm");
    for (const QString &candidate : std::as_const(candidates)) {
        if (fs::itemKind(fs::resolvedPath(candidate)) != fs::ItemKind::File)
            continue;
        const QImage image = readIcon(candidate);
        if (!image.isNull())
            return image;
    }
    return {};
}

} // namespace

QImage desktopIcon(const QString &entryPath)
{
    const KeyFile file = loadDesktopKeyFile(entryPath);
    if (!file)
        return {};
    QString name = keyString(file.get(), QStringLiteral("Icon"));
    if (name.startsWith(QLatin1Char('/'))) {
        if (fs::itemKind(fs::resolvedPath(name)) != fs::ItemKind::File)
            return {};
        return readIcon(name);
    }
    for (const char *extension : { ".png", ".xpm", ".svg" }) {
        if (name.endsWith(QLatin1String(extension)))
            name.chop(4);
    }
    return name.isEmpty() || name.contains(QLatin1Char('/')) ? QImage() : themeIcon(name);
}

} // namespace tandrel
