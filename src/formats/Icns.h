#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace tandrel {

// ICNS files larger than this are not read: real icons are a few megabytes at most.
inline constexpr qint64 maxIcnsFileSize = 32 * 1024 * 1024;
// At most this many images of one ICNS are decoded; real ones hold about a dozen.
inline constexpr int maxIcnsImagesVisited = 64;
// A decoded image wider or taller than this is scaled down to it: ICNS sizes end at
// 1024, and an element may hold a PNG of any size.
inline constexpr int maxIcnsImageSide = 1024;

// The largest image of an ICNS icon family, by area (the first of equal ones), or a
// null image when none decodes. Any input is safe: garbage gives a null image.
QImage readLargestIcnsImage(const QByteArray &bytes);
// The same for a file, read only when it is a regular file within the size cap.
QImage readLargestIcnsImageFile(const QString &path);

// One element of an ICNS container: a four-character type and its data.
struct IcnsElement
{
    QByteArray type;
    QByteArray data;
};

// The element type for a square PNG of `pixels` on a side: "icp4" 16, "icp5" 32,
// "icp6" 64, "ic07" 128, "ic08" 256, "ic09" 512, "ic10" 1024; empty for other sizes.
QByteArray icnsTypeForSize(int pixels);

// The container: 'icns', its big-endian total length, then each element as its type,
// its big-endian length (header included) and its data. Empty when a type is not four
// bytes long or the whole would not fit a 32-bit length.
QByteArray icnsContainer(const QList<IcnsElement> &elements);

// A one-element ICNS holding PNG bytes already encoded, of a square image `pixels` on a
// side; empty when icnsTypeForSize() does not know the size.
QByteArray icnsWithOneImage(const QByteArray &png, int pixels);
// A one-element ICNS holding the image as PNG. The image must be square with a side
// icnsTypeForSize() knows; otherwise, or when encoding fails, the result is empty.
// The container is written here because Qt's own ICNS writer silently scales sizes it
// does not know.
QByteArray icnsFromImage(const QImage &image);
// The same with one element per image, in the given order.
QByteArray icnsFromImages(const QList<QImage> &images);

} // namespace tandrel
