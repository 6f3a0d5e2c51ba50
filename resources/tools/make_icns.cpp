// tandrel-make-icns OUTPUT.icns INPUT.png...
// Packs square PNGs into an ICNS icon family, one element per PNG, in the given order.
// The PNG bytes go in unchanged; each is decoded only to learn its size, which picks the
// element type. scripts/make-icons runs it; the app itself never needs it.

#include "formats/Icns.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QSet>
#include <QString>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "tandrel-make-icns: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tandrel-make-icns OUTPUT.icns INPUT.png...\n");
        return 2;
    }

    QList<tandrel::IcnsElement> elements;
    QSet<QByteArray> types;
    for (int i = 2; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
        const QByteArray png = file.readAll();
        const QImage image = QImage::fromData(png, "PNG");
        if (image.isNull())
            return fail(QStringLiteral("%1: not a PNG image").arg(path));
        if (image.width() != image.height())
            return fail(
                QStringLiteral("%1: %2 x %3 is not square").arg(path).arg(image.width()).arg(image.height()));
        const QByteArray type = tandrel::icnsTypeForSize(image.width());
        if (type.isEmpty())
            return fail(
                QStringLiteral("%1: an ICNS has no element for %2 pixels").arg(path).arg(image.width()));
        // Two elements of one type would leave the reader to pick one of them at random.
        if (types.contains(type))
            return fail(QStringLiteral("%1: a second image of %2 pixels").arg(path).arg(image.width()));
        types.insert(type);
        elements.append({ type, png });
    }

    const QByteArray icns = tandrel::icnsContainer(elements);
    if (icns.isEmpty())
        return fail(QStringLiteral("the images do not fit an ICNS file"));
    const QString output = QString::fromLocal8Bit(argv[1]);
    QSaveFile out(output);
    if (!out.open(QIODevice::WriteOnly) || out.write(icns) != icns.size() || !out.commit())
        return fail(QStringLiteral("%1: %2").arg(output, out.errorString()));
    return 0;
}
