#include "formats/PropertyList.h"
#include "support/AddressSpaceLimit.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QtEndian>

#include <plist/plist.h>

#include <cstdlib>

using namespace tandrel;

namespace {

QByteArray xmlPlist(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">"
        + body + "</plist>";
}

QByteArray toBinary(const QByteArray &xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    if (!root)
        return {};
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    plist_free(root);
    const QByteArray bytes(bin, qsizetype(length));
    std::free(bin);
    return bytes;
}

QByteArray nestedArrays(int levels)
{
    return QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels);
}

// Every kind of value, and arrays as deep as the reader converts: 64 in the root dictionary.
const QByteArray sample = xmlPlist("<dict><key>deep</key>" + nestedArrays(64)
    + "<key>CFBundleExecutable</key><string>Mail Ñ</string>"
      "<key>yes</key><true/>"
      "<key>no</key><false/>"
      "<key>one</key><integer>1</integer>"
      "<key>minus</key><integer>-5</integer>"
      "<key>pi</key><real>3.5</real>"
      "<key>when</key><date>2025-03-14T09:26:53Z</date>"
      "<key>blob</key><data>AAEC</data>"
      "<key>list</key><array><string>a</string><integer>2</integer></array>"
      "<key>nested</key><dict><key>k</key><string>v</string></dict>"
      "</dict>");

// Binary property lists written object by object, so tests can build what no writer
// would: object 0 is the root, offsets and references are four bytes.
template <typename T> QByteArray be(T value)
{
    QByteArray bytes(sizeof value, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray counted(uchar kind, qsizetype count)
{
    if (count < 15)
        return QByteArray(1, char(kind << 4 | count));
    return QByteArray(1, char(kind << 4 | 0x0f)) + char(0x12) + be(quint32(count));
}

QByteArray binArray(const QList<quint32> &refs)
{
    QByteArray out = counted(0xa, refs.size());
    for (const quint32 ref : refs)
        out += be(ref);
    return out;
}

QByteArray binDict(const QList<std::pair<quint32, quint32>> &entries)
{
    QByteArray out = counted(0xd, entries.size());
    for (const auto &entry : entries)
        out += be(entry.first);
    for (const auto &entry : entries)
        out += be(entry.second);
    return out;
}

QByteArray binAscii(const QByteArray &text)
{
    return counted(0x5, text.size()) + text;
}

QByteArray binUtf16(const QString &text)
{
    QByteArray out = counted(0x6, text.size());
    for (const QChar unit : text) {
        out += char(unit.unicode() >> 8);
        out += char(unit.unicode() & 0xff);
    }
    return out;
}

const QByteArray binTrue("\x09", 1);

QByteArray binaryPlist(const QList<QByteArray> &objects)
{
    QByteArray out("bplist00");
    QList<quint32> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(quint32(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    for (const quint32 offset : offsets)
        out += be(offset);
    return out + QByteArray(6, '\0') + char(4) + char(4) + be(quint64(objects.size())) + be(quint64(0))
        + be(table);
}

// {"k": a0} where each a(i) is an array holding a(i + 1) `width` times, `levels` deep,
// the last one empty: libplist copies a shared object once per reference.
QByteArray sharedArrays(int levels, int width)
{
    QList<QByteArray> objects { binDict({ { 1, 2 } }), binAscii("k") };
    for (int level = 0; level < levels; ++level)
        objects.append(binArray(QList<quint32>(width, quint32(objects.size() + 1))));
    objects.append(binArray({}));
    return binaryPlist(objects);
}

} // namespace

class PropertyListTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsXmlAndBinaryAlike_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("xml") << sample;
        QTest::newRow("binary") << toBinary(sample);
        // As the system's own reader accepts them.
        QTest::newRow("xml with a UTF-8 byte-order mark") << QByteArray("\xEF\xBB\xBF") + sample;
        QTest::newRow("xml with white space and CR before it") << QByteArray("\r\n \t\r") + sample;
        const QString text
            = QString::fromUtf8(sample).replace(QLatin1String("UTF-8"), QLatin1String("UTF-16"));
        QByteArray little("\xFF\xFE"), big("\xFE\xFF");
        for (const QChar c : text) {
            little.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
            big.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
        }
        QTest::newRow("xml in UTF-16, little-endian") << little;
        QTest::newRow("xml in UTF-16, big-endian") << big;
    }
    void readsXmlAndBinaryAlike()
    {
        QFETCH(QByteArray, bytes);
        const auto map = readPropertyList(bytes);
        QVERIFY(map);
        QCOMPARE(map->value(QStringLiteral("CFBundleExecutable")), QVariant(QStringLiteral("Mail Ñ")));
        // Booleans stay Booleans, so "true" and 1 can be told apart.
        QCOMPARE(map->value(QStringLiteral("yes")).typeId(), QMetaType::Bool);
        QCOMPARE(map->value(QStringLiteral("yes")), QVariant(true));
        QCOMPARE(map->value(QStringLiteral("no")), QVariant(false));
        QCOMPARE(map->value(QStringLiteral("one")).typeId(), QMetaType::LongLong);
        QCOMPARE(map->value(QStringLiteral("one")).toLongLong(), 1);
        QCOMPARE(map->value(QStringLiteral("minus")).toLongLong(), -5);
        QCOMPARE(map->value(QStringLiteral("pi")).toDouble(), 3.5);
        QCOMPARE(map->value(QStringLiteral("when")).toDateTime(),
            QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc()));
        QCOMPARE(map->value(QStringLiteral("blob")).toByteArray(), QByteArray("\x00\x01\x02", 3));
        QCOMPARE(
            map->value(QStringLiteral("list")).toList(), (QVariantList { QStringLiteral("a"), qint64(2) }));
        QCOMPARE(map->value(QStringLiteral("nested")).toMap().value(QStringLiteral("k")),
            QVariant(QStringLiteral("v")));
        QVariant deepest = QVariantList();
        for (int level = 1; level < 64; ++level)
            deepest = QVariantList { deepest };
        QCOMPARE(map->value(QStringLiteral("deep")), deepest);
    }

    // What is not a dictionary; and, found by fuzzing, the structures libplist 2.2
    // mishandles: it builds its whole tree before we see it, recursing once per level, copying
    // a binary object once per reference, and aborting on a key or string with a NUL. The
    // reader must refuse these before libplist sees them; each runs in a child with bounded
    // memory.
    void refusedBeforeLibplistSeesIt_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated binary") << toBinary(sample).left(40);
        QTest::newRow("2 MiB, twice what any real app ships")
            << xmlPlist("<dict><key>a</key><string>" + QByteArray(2 * 1024 * 1024, 'x') + "</string></dict>");
        QTest::newRow("binary: arrays sharing the next twice, 2^40 nodes") << sharedArrays(40, 2);
        QTest::newRow("binary: arrays nested 200000 deep") << sharedArrays(200000, 1);
        QTest::newRow("binary: NUL in a UTF-16 key")
            << binaryPlist({ binDict({ { 1, 2 } }), binUtf16(QString(QChar(0))), binTrue });
        QTest::newRow("xml: arrays nested 200000 deep")
            << xmlPlist("<dict><key>k</key>" + nestedArrays(200000) + "</dict>");
        QTest::newRow("xml: NUL in a key")
            << xmlPlist(QByteArrayLiteral("<dict><key>a\0b</key><true/></dict>"));
        // The fuzzer's input: a NUL (and more) inside CDATA in a string.
        QTest::newRow("xml: arrays nested 200000 deep after what is not XML")
            << "<plist version=1.0><dict><key>k</key>" + nestedArrays(200000) + "</dict></plist>";
    }
    void refusedBeforeLibplistSeesIt()
    {
        QFETCH(QByteArray, bytes);
        // 64 MB: far below what libplist would take for any of these (it copes with running
        // out, so only the peak tells), far above what refusing them takes.
        const std::optional<int> code = test::exitCodeWithBoundedMemory(
            64 * 1024 * 1024, [&bytes] { return readPropertyList(bytes) ? 2 : 0; });
        if (code) {
            QCOMPARE(*code, 0);
            return;
        }
        // Sanitizer builds: the shallow cases in process (they would crash, and the
        // sanitizer would say where); the expanding ones need the limit.
        if (QByteArray(QTest::currentDataTag()).contains("nodes"))
            QSKIP("needs an address-space limit, which sanitizers rule out");
        QVERIFY(!readPropertyList(bytes));
    }

    // libplist asserts on this too when asked for the text the usual way.
    void keepsNulInsideUtf16String()
    {
        const QString text = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        const std::optional<QVariantMap> map
            = readPropertyList(binaryPlist({ binDict({ { 1, 2 } }), binAscii("k"), binUtf16(text) }));
        QVERIFY(map);
        QCOMPARE(map->value(QStringLiteral("k")), QVariant(text));
    }

    // Read through readSmallFile, whose refusals (a folder, a FIFO) the scans' test checks;
    // the cap must reach it, so that a huge file is refused by its size, without being read:
    // in a child with bounded memory, reading it would show.
    void files()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("Info.plist")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(toBinary(sample)) > 0 && file.flush());
        QVERIFY(readPropertyListFile(file.fileName()));
        QVERIFY(!readPropertyListFile(dir.filePath(QStringLiteral("missing.plist"))));
        QVERIFY(file.resize(4LL * 1024 * 1024 * 1024));
        const std::optional<int> code = test::exitCodeWithBoundedMemory(
            64 * 1024 * 1024, [&file] { return readPropertyListFile(file.fileName()) ? 2 : 0; });
        QCOMPARE(code ? *code : int(readPropertyListFile(file.fileName()).has_value()), 0);
    }
};

TANDREL_TEST_MAIN(PropertyListTest)
#include "tst_propertylist.moc"
