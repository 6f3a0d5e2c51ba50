#include "model/desktop/DesktopIcon.h"

#include "model/desktop/DesktopKeyFile.h"
#include "model/desktop/IconTheme.h"
#include "platform/FileSystem.h"

#include <QBuffer>
#include <QImageReader>

namespace tandrel {
namespace {

// Icons of a few hundred kilobytes are large; a bigger file is refused before decoding,
// and so is an image whose header claims more pixels than any icon has.
constexpr qint64 maxIconFileSize = 4 * 1024 * 1024;
constexpr int maxIconSide = 4096;

// The size icons are read at: the largest the window draws them, at 2×.
constexpr int iconSize = 256;

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
    // Drawings are drawn at the size wanted, whatever size they claim.
    if (reader.format() == "svg") {
        QSize size = reader.size();
        if (size.isEmpty())
            size = QSize(iconSize, iconSize);
        reader.setScaledSize(size.scaled(iconSize, iconSize, Qt::KeepAspectRatio));
        return reader.read();
    }
    const QSize size = reader.size();
    if (size.width() > maxIconSide || size.height() > maxIconSide)
        return {};
    return reader.read();
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
    const QString path = themeIconFile(name, iconSize);
    return path.isEmpty() ? QImage() : readIcon(path);
}

} // namespace tandrel
