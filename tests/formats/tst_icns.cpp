#include "formats/Icns.h"
#include "support/AddressSpaceLimit.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QFile>
#include <QScopeGuard>
#include <QtEndian>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QByteArray bigEndian(quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray icnsOfSizes(const QList<int> &sizes)
{
    QList<QImage> images;
    for (int size : sizes)
        images.append(fakeIconImage(size));
    return icnsFromImages(images);
}

} // namespace

class IcnsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Writer
    void writer()
    {
        const QByteArray data = png(fakeIconImage(1024));
        const QByteArray expected = "icns" + bigEndian(quint32(16 + data.size())) + "ic10"
            + bigEndian(quint32(8 + data.size())) + data;
        QCOMPARE(icnsWithOneImage(data, 1024), expected);
        QCOMPARE(icnsFromImage(fakeIconImage(1024)), expected);
        // What it cannot write: a size with no type, an image not square.
        QVERIFY(icnsFromImage(fakeIconImage(100)).isEmpty());
        QVERIFY(icnsFromImage(QImage(512, 256, QImage::Format_ARGB32)).isEmpty());
    }

    // Reader: the largest image, or a null one (size 0)
    void reader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("largest");
        QTest::newRow("small first") << icnsOfSizes({ 16, 128, 512 }) << 512;
        QTest::newRow("large in the middle") << icnsOfSizes({ 32, 1024, 256 }) << 1024;
        // A hostile file cannot make the reader decode without end.
        QList<IcnsElement> elements(maxIcnsImagesVisited, { "icp4", png(fakeIconImage(16)) });
        elements.append({ "ic09", png(fakeIconImage(512)) });
        QTest::newRow("a 512 image after the cap is never reached") << icnsContainer(elements) << 16;
        // Only the container's own length counts (see below).
        QTest::newRow("an element past the container's length is ignored")
            << icnsOfSizes({ 16 }) + icnsOfSizes({ 128 }).mid(8) << 16;
        const QByteArray valid = icnsOfSizes({ 16, 128 });
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("total length past the end")
            << QByteArray("icns" + bigEndian(0xFFFFFFFF) + "ic07") << 0;
        QTest::newRow("element length past the end")
            << QByteArray("icns" + bigEndian(24) + "ic07" + bigEndian(0x7FFFFFFF) + "12345678") << 0;
        QTest::newRow("truncated") << valid.left(valid.size() / 2) << 0;
    }
    void reader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, largest);
        const QImage image = readLargestIcnsImage(bytes);
        QCOMPARE(image.size(), QSize(largest, largest));
        if (largest)
            QCOMPARE(image.pixel(largest / 2, largest / 2), fakeIconColor(largest).rgb());
    }

    // Qt's ICNS plugin reads elements it finds past the container's own length, and trusts
    // the lengths of a table of contents; either way it allocates whatever length it is
    // told in one go. The reader hands it only a container cut to its length, whose
    // elements and table of contents fit in it.
    void reader_neverLetsTheDecoderAllocateWhatTheFileClaims_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray pngStart = QByteArray::fromHex("89504e470d0a1a0a0000000d");
        // Found by fuzzing: a container of 8 bytes, then an element claiming 1.8 GB.
        QTest::newRow("element past the container's length") << QByteArray::fromHex("69636e7300000008"
                                                                                    "69637035706e6789")
                + pngStart;
        QTest::newRow("table of contents past the container")
            << QByteArray("icns" + bigEndian(44) + "TOC " + bigEndian(16) + "icp5" + bigEndian(0x706e6789)
                   + "icp5" + bigEndian(20))
                + pngStart;
    }
    void reader_neverLetsTheDecoderAllocateWhatTheFileClaims()
    {
        QFETCH(QByteArray, bytes);
        // Loads the plugin here, so the child only decodes.
        QCOMPARE(readLargestIcnsImage(icnsOfSizes({ 16 })).size(), QSize(16, 16));
        // The plugin copes when the allocation fails, so the child may ask for the 1.8 GB
        // (address space only: nothing is written to it), and the peak shows it.
        const std::optional<int> code = exitCodeWithBoundedMemory(
            64 * 1024 * 1024,
            [&bytes] {
                qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
                return readLargestIcnsImage(bytes).isNull() ? 0 : 2;
            },
            qint64(3) * 1024 * 1024 * 1024);
        if (!code)
            QSKIP("needs an address-space limit, which sanitizers rule out");
        QCOMPARE(*code, 0);
    }
};

TANDREL_TEST_MAIN(IcnsTest)
#include "tst_icns.moc"
