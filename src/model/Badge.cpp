#include "model/Badge.h"

#include "l10n/Tr.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <QBuffer>
#include <QImageReader>
#include <QJsonValue>
#include <QTextBoundaryFinder>

#include <cmath>

namespace tandrel {
namespace {

// The picked file's image may claim at most this many pixels on a side before decoding.
constexpr int maxSourceSide = 8192;

double luminance(const QColor &color)
{
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isBadgePng(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > maxBadgeImageBytes || !bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return false;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    return size.isValid() && size.width() <= badgeImagePixels && size.height() <= badgeImagePixels;
}

QTextBoundaryFinder graphemes(const QString &text)
{
    return QTextBoundaryFinder(QTextBoundaryFinder::Grapheme, text);
}

} // namespace

const QList<BadgeColor> &badgePalette()
{
    static const QList<BadgeColor> palette {
        { QStringLiteral("blue"), QColor(0x0a, 0x5c, 0xd6) },
        { QStringLiteral("purple"), QColor(0x8a, 0x3f, 0xbf) },
        { QStringLiteral("pink"), QColor(0xc2, 0x18, 0x5b) },
        { QStringLiteral("orange"), QColor(0xb0, 0x4a, 0x00) },
        { QStringLiteral("teal"), QColor(0x00, 0x70, 0x7d) },
        { QStringLiteral("green"), QColor(0x1d, 0x7a, 0x36) },
        { QStringLiteral("indigo"), QColor(0x4a, 0x45, 0xc4) },
    };
    return palette;
}

QString badgeColorTitle(const QString &name)
{
    static const QHash<QString, std::pair<QString, QString>> titles {
        { QStringLiteral("blue"), { QStringLiteral("Azul"), QStringLiteral("Blue") } },
        { QStringLiteral("purple"), { QStringLiteral("Morado"), QStringLiteral("Purple") } },
        { QStringLiteral("pink"), { QStringLiteral("Rosa"), QStringLiteral("Pink") } },
        { QStringLiteral("orange"), { QStringLiteral("Naranja"), QStringLiteral("Orange") } },
        { QStringLiteral("teal"), { QStringLiteral("Verde azulado"), QStringLiteral("Teal") } },
        { QStringLiteral("green"), { QStringLiteral("Verde"), QStringLiteral("Green") } },
        { QStringLiteral("indigo"), { QStringLiteral("Índigo"), QStringLiteral("Indigo") } },
    };
    const auto title = titles.constFind(name);
    return title == titles.cend() ? name : tandrel::tr(title->first, title->second);
}

std::optional<QString> normalizedBadgeColor(const QString &text)
{
    const QString lower = text.trimmed().toLower();
    for (const BadgeColor &entry : badgePalette()) {
        if (entry.name == lower)
            return lower;
    }
    static const QRegularExpression hex(QStringLiteral("^#[0-9a-f]{6}$"));
    if (hex.match(lower).hasMatch())
        return lower;
    return std::nullopt;
}

QColor badgeColorValue(const QString &text)
{
    const std::optional<QString> color = normalizedBadgeColor(text);
    if (!color)
        return {};
    for (const BadgeColor &entry : badgePalette()) {
        if (entry.name == *color)
            return entry.color;
    }
    return QColor(*color);
}

QString firstFreeBadgeColor(const QStringList &used)
{
    const QList<BadgeColor> &palette = badgePalette();
    for (const BadgeColor &entry : palette) {
        if (!used.contains(entry.name))
            return entry.name;
    }
    return palette.at(int(used.size() % palette.size())).name;
}

QColor badgeTextColor(const QColor &background)
{
    return contrast(Qt::white, background) >= 4.5 ? QColor(Qt::white) : QColor(0x1d, 0x1d, 0x1f);
}

bool isValidBadgeLabel(const QString &label)
{
    if (label.isEmpty() || label.size() > 16)
        return false;
    for (const QChar c : label) {
        if (c.category() == QChar::Other_Control || c.isSpace())
            return false;
    }
    QTextBoundaryFinder finder = graphemes(label);
    int count = 0;
    while (finder.toNextBoundary() >= 0)
        ++count;
    return count >= 1 && count <= 2;
}

QByteArray badgeImageFromFile(const QString &path)
{
    const TandrelError unreadable = TandrelError::msg(
        tandrel::tr(QStringLiteral("No se puede leer la imagen \"") + path + QStringLiteral("\"."),
            QStringLiteral("Can't read the image \"") + path + QStringLiteral("\".")));
    QByteArray bytes;
    try {
        bytes = fs::readFile(path, maxBadgeSourceBytes);
    } catch (const FileSystemError &) {
        throw unreadable;
    }
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(256);
    const QSize size = reader.size();
    if (reader.format() != "svg"
        && (!size.isValid() || size.width() > maxSourceSide || size.height() > maxSourceSide))
        throw unreadable;
    if (reader.format() == "svg")
        reader.setScaledSize(QSize(badgeImagePixels, badgeImagePixels));
    const QImage image = reader.read();
    if (image.isNull())
        throw unreadable;
    // The centre square, so a photo fills the round badge without being squeezed.
    const int side = std::min(image.width(), image.height());
    const QImage square
        = image.copy((image.width() - side) / 2, (image.height() - side) / 2, side, side)
              .scaled(badgeImagePixels, badgeImagePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_ARGB32);
    QByteArray png;
    QBuffer out(&png);
    if (!out.open(QIODevice::WriteOnly) || !square.save(&out, "PNG", 0) || !isBadgePng(png))
        throw unreadable;
    return png;
}

QJsonObject badgeToJson(const Badge &badge)
{
    QJsonObject object;
    if (!badge.color.isEmpty())
        object.insert(QStringLiteral("color"), badge.color);
    if (!badge.label.isEmpty())
        object.insert(QStringLiteral("label"), badge.label);
    if (!badge.image.isEmpty())
        object.insert(QStringLiteral("image"), QString::fromLatin1(badge.image.toBase64()));
    return object;
}

Badge badgeFromJson(const QJsonObject &object)
{
    Badge badge;
    if (const std::optional<QString> color
        = normalizedBadgeColor(object.value(QStringLiteral("color")).toString()))
        badge.color = *color;
    const QString label = object.value(QStringLiteral("label")).toString();
    if (isValidBadgeLabel(label))
        badge.label = label;
    const QString image = object.value(QStringLiteral("image")).toString();
    if (!image.isEmpty() && image.size() <= maxBadgeImageBytes * 4 / 3 + 4) {
        const auto decoded
            = QByteArray::fromBase64Encoding(image.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && isBadgePng(*decoded))
            badge.image = *decoded;
    }
    return badge;
}

} // namespace tandrel
