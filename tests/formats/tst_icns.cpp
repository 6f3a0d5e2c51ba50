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

QRgb centrePixel(const QImage &image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

} // namespace

class IcnsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Writer
    void oneImage_hasExactLayout_data()
    {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("1024") << 1024 << QByteArray("ic10");
    }
    void oneImage_hasExactLayout()
    {
        QFETCH(int, pixels);
        QFETCH(QByteArray, type);
        const QByteArray data = png(fakeIconImage(pixels));
        const QByteArray expected = "icns" + bigEndian(quint32(16 + data.size())) + type
            + bigEndian(quint32(8 + data.size())) + data;
        QCOMPARE(icnsWithOneImage(data, pixels), expected);
        QCOMPARE(icnsFromImage(fakeIconImage(pixels)), expected);
    }

    void writer_refusesWhatItCannotWrite_data()
    {
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("unknown size") << icnsFromImage(fakeIconImage(100));
        QTest::newRow("not square") << icnsFromImage(QImage(512, 256, QImage::Format_ARGB32));
    }
    void writer_refusesWhatItCannotWrite()
    {
        QFETCH(QByteArray, written);
        QVERIFY(written.isEmpty());
    }

    // Reader
    void reader_givesLargestImage_data()
    {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<int>("largest");
        QTest::newRow("small first") << QList<int> { 16, 128, 512 } << 512;
        QTest::newRow("large in the middle") << QList<int> { 32, 1024, 256 } << 1024;
    }
    void reader_givesLargestImage()
    {
        QFETCH(QList<int>, sizes);
        QFETCH(int, largest);
        const QImage image = readLargestIcnsImage(icnsOfSizes(sizes));
        QCOMPARE(image.size(), QSize(largest, largest));
        QCOMPARE(centrePixel(image), fakeIconColor(largest).rgb());
    }

    void reader_visitsAtMostCapImages()
    {
        // A 512 image placed after the cap is never reached: a hostile file cannot make
        // the reader decode without end.
        QList<IcnsElement> elements;
        const QByteArray small = png(fakeIconImage(16));
        for (int i = 0; i < maxIcnsImagesVisited; ++i)
            elements.append({ "icp4", small });
        elements.append({ "ic09", png(fakeIconImage(512)) });
        QCOMPARE(readLargestIcnsImage(icnsContainer(elements)).size(), QSize(16, 16));
    }

    void reader_givesNullForGarbage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray valid = icnsOfSizes({ 16, 128 });
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("total length past the end") << QByteArray("icns" + bigEndian(0xFFFFFFFF) + "ic07");
        QTest::newRow("element length past the end")
            << QByteArray("icns" + bigEndian(24) + "ic07" + bigEndian(0x7FFFFFFF) + "12345678");
        QTest::newRow("truncated") << valid.left(valid.size() / 2);
    }
    void reader_givesNullForGarbage()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(readLargestIcnsImage(bytes).isNull());
    }

    // Qt's ICNS plugin reads elements it finds past the container's own length, and trusts
    // the lengths of a table of contents; either way it allocates whatever length it is
    // told in one go. The reader hands it only a container cut to its length, whose
    // elements and table of contents fit in it.
    void reader_ignoresWhatLiesPastTheContainer()
    {
        const QByteArray small = icnsOfSizes({ 16 });
        const QByteArray large = icnsOfSizes({ 128 }).mid(8); // the element alone
        QCOMPARE(readLargestIcnsImage(small + large).size(), QSize(16, 16));
    }

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
