#include "formats/PropertyList.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

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

const QByteArray sample = xmlPlist("<dict>"
                                   "<key>CFBundleExecutable</key><string>Mail Ñ</string>"
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
        QCOMPARE(map->value(QStringLiteral("list")).toList(), (QVariantList{QStringLiteral("a"), qint64(2)}));
        QCOMPARE(map->value(QStringLiteral("nested")).toMap().value(QStringLiteral("k")), QVariant(QStringLiteral("v")));
    }

    void refusesWhatIsNotADictionary_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\xde\xad\xbe\xef not a plist");
        QTest::newRow("top-level array") << xmlPlist("<array><string>x</string></array>");
        QTest::newRow("top-level string") << xmlPlist("<string>x</string>");
        QTest::newRow("unclosed xml") << xmlPlist("<dict><key>a</key><string>b</string>").chopped(8);
        QTest::newRow("binary header only") << QByteArray("bplist00");
        QTest::newRow("truncated binary") << toBinary(sample).left(40);
        QTest::newRow("nested too deep") << xmlPlist(QByteArray("<dict>") + QByteArray("<key>a</key><array>").repeated(100)
                                                     + QByteArray("</array>").repeated(100) + "</dict>");
        QTest::newRow("over the size cap")
            << xmlPlist("<dict><key>a</key><string>" + QByteArray(maxPropertyListSize, 'x') + "</string></dict>");
    }
    void refusesWhatIsNotADictionary()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!readPropertyList(bytes));
    }

    void truncatedBinaryNeverCrashes()
    {
        const QByteArray binary = toBinary(sample);
        for (qsizetype cut = 0; cut < binary.size(); ++cut)
            (void)readPropertyList(binary.left(cut));
    }

    void files()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("Info.plist"));
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(toBinary(sample));
        file.close();
        QVERIFY(readPropertyListFile(good));
        QVERIFY(!readPropertyListFile(dir.filePath(QStringLiteral("missing.plist"))));
        QVERIFY(!readPropertyListFile(dir.path()));

        // A huge file is refused by its size, without being read.
        const QString huge = dir.filePath(QStringLiteral("huge.plist"));
        QFile big(huge);
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(sample);
        QVERIFY(big.resize(4LL * 1024 * 1024 * 1024));
        big.close();
        QVERIFY(!readPropertyListFile(huge));
    }
};

TANDREL_TEST_MAIN(PropertyListTest)
#include "tst_propertylist.moc"
