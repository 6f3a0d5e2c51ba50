#include "formats/Icns.h"

#include "formats/SmallFile.h"

#include <QFile>

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <limits>
#include <optional>

namespace tandrel {
namespace {

constexpr qint64 headerSize = 8; // four-character type, then a 32-bit big-endian length

qint64 area(const QImage &image)
{
    return image.isNull() ? 0 : qint64(image.width()) * image.height();
}

quint32 lengthAt(const QByteArray &bytes, qint64 at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at + 4);
}

// A table of contents lists the type and length of each element after it; every listed
// element must lie within the container.
bool tableOfContentsFits(const QByteArray &container, qint64 at, qint64 length)
{
    qint64 end = at + length;
    for (qint64 entry = at + headerSize; entry + headerSize <= at + length; entry += headerSize) {
        const quint32 entryLength = lengthAt(container, entry);
        if (entryLength < headerSize || entryLength > container.size() - end)
            return false;
        end += entryLength;
    }
    return true;
}

// Qt's ICNS plugin trusts lengths it should not: those of elements found past the
// container's own length, and those in a table of contents. It reads whatever length it
// is given in one allocation, so a 28-byte file can make it allocate 2 GB. Only a
// container cut to its own length, whose elements and table of contents all fit in it,
// is handed over; anything else is malformed.
std::optional<QByteArray> checkedContainer(const QByteArray &bytes)
{
    const quint32 total = lengthAt(bytes, 0);
    if (total < headerSize || total > quint64(bytes.size()))
        return std::nullopt;
    const QByteArray container = bytes.left(total);
    for (qint64 at = headerSize; at < total;) {
        if (total - at < headerSize)
            return std::nullopt;
        const quint32 length = lengthAt(container, at);
        if (length < headerSize || length > total - at)
            return std::nullopt;
        if (container.mid(at, 4) == "TOC " && !tableOfContentsFits(container, at, length))
            return std::nullopt;
        at += length;
    }
    return container;
}

void appendHeader(QByteArray &out, const char *type, quint32 length)
{
    char bigEndian[4];
    qToBigEndian(length, bigEndian);
    out.append(type, 4);
    out.append(bigEndian, 4);
}

} // namespace

QImage readLargestIcnsImage(const QByteArray &bytes)
{
    if (bytes.size() < headerSize || !bytes.startsWith("icns"))
        return {};
    const std::optional<QByteArray> container = checkedContainer(bytes);
    if (!container)
        return {};
    QBuffer buffer;
    buffer.setData(*container);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    // Only the ICNS plugin may look at these bytes, whatever else they resemble.
    QImageReader reader(&buffer, "icns");
    reader.setAutoDetectImageFormat(false);

    // read() decodes the current image only, usually the smallest: step through them.
    QImage largest;
    for (int visited = 0; visited < maxIcnsImagesVisited; ++visited) {
        QImage image;
        if (reader.read(&image) && area(image) > area(largest))
            largest = image;
        if (!reader.jumpToNextImage())
            break;
    }
    if (largest.width() > maxIcnsImageSide || largest.height() > maxIcnsImageSide)
        largest = largest.scaled(
            maxIcnsImageSide, maxIcnsImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return largest;
}

QImage readLargestIcnsImageFile(const QString &path)
{
    QByteArray bytes;
    if (readSmallFile(QFile::encodeName(path).constData(), maxIcnsFileSize, bytes) != 0)
        return {};
    return readLargestIcnsImage(bytes);
}

QByteArray icnsTypeForSize(int pixels)
{
    switch (pixels) {
    case 16:
        return QByteArrayLiteral("icp4");
    case 32:
        return QByteArrayLiteral("icp5");
    case 64:
        return QByteArrayLiteral("icp6");
    case 128:
        return QByteArrayLiteral("ic07");
    case 256:
        return QByteArrayLiteral("ic08");
    case 512:
        return QByteArrayLiteral("ic09");
    case 1024:
        return QByteArrayLiteral("ic10");
    default:
        return {};
    }
}

QByteArray icnsContainer(const QList<IcnsElement> &elements)
{
    qint64 total = headerSize;
    for (const IcnsElement &element : elements) {
        if (element.type.size() != 4)
            return {};
        total += headerSize + element.data.size();
    }
    if (total > std::numeric_limits<quint32>::max())
        return {};

    QByteArray out;
    out.reserve(total);
    appendHeader(out, "icns", quint32(total));
    for (const IcnsElement &element : elements) {
        appendHeader(out, element.type.constData(), quint32(headerSize + element.data.size()));
        out.append(element.data);
    }
    return out;
}

QByteArray icnsWithOneImage(const QByteArray &png, int pixels)
{
    const QByteArray type = icnsTypeForSize(pixels);
    return type.isEmpty() ? QByteArray() : icnsContainer({ { type, png } });
}

QByteArray icnsFromImages(const QList<QImage> &images)
{
    QList<IcnsElement> elements;
    for (const QImage &image : images) {
        if (image.width() != image.height())
            return {};
        IcnsElement element { icnsTypeForSize(image.width()), {} };
        if (element.type.isEmpty())
            return {};
        QBuffer buffer(&element.data);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
            return {};
        elements.append(std::move(element));
    }
    return elements.isEmpty() ? QByteArray() : icnsContainer(elements);
}

QByteArray icnsFromImage(const QImage &image)
{
    return icnsFromImages({ image });
}

} // namespace tandrel
