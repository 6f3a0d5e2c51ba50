// The quick lookups are checked against the full reader on every row: where a scan answers,
// it must give what readPropertyList gives; `sure` says whether it must answer at all.
#include "formats/PlistScan.h"
#include "formats/PropertyList.h"
#include "formats/SmallFile.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <cerrno>
#include <sys/stat.h>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QLatin1StringView exe("CFBundleExecutable");
const QLatin1StringView ident("CFBundleIdentifier");
const QLatin1StringView sandboxKey("com.apple.security.app-sandbox");
// Strings, an array, a Boolean and a key no app has.
const std::initializer_list<QLatin1StringView> asked { exe, ident,
    QLatin1StringView("NSHumanReadableCopyright"), QLatin1StringView("CFBundleDocumentTypes"),
    QLatin1StringView("NSHighResolutionCapable"), QLatin1StringView("NoSuchKey") };
const QByteArray exeKey("<key>CFBundleExecutable</key>");
const QByteArray identKey("<key>CFBundleIdentifier</key>");

QByteArray xml(const QByteArray &entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + entries
        + "\n</dict>\n</plist>\n";
}

QByteArray aString(const QByteArray &text)
{
    return xml("<key>a</key><string>" + text + "</string>");
}

QByteArray nestedArrays(int levels)
{
    return xml(
        "<key>k</key>" + QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels));
}

QByteArray utf16(const QByteArray &utf8, bool bigEndian)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray out = QByteArray(bigEndian ? "\xfe\xff" : "\xff\xfe")
        + QByteArray::fromRawData(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    for (qsizetype i = 2; bigEndian && i < out.size(); i += 2)
        std::swap(out[i], out[i + 1]); // the host is little-endian
    return out;
}

QByteArray binary(const QVariantMap &map)
{
    return encodePropertyList(map, true);
}

QByteArray patched(QByteArray bytes, const QByteArray &from, const QByteArray &to)
{
    const qsizetype at = bytes.indexOf(from);
    return at < 0 ? QByteArray() : bytes.replace(at, from.size(), to);
}

// The trailer's eight-byte field at `field` (root object 16, offset table 24) set to `value`.
QByteArray withTrailerField(QByteArray bytes, int field, quint64 value)
{
    for (int i = 0; i < 8; ++i)
        bytes[bytes.size() - 32 + field + i] = char(value >> (56 - 8 * i));
    return bytes;
}

QByteArray rich()
{
    return encodePropertyList(richInfoKeys(QStringLiteral("Studio & <Co>")), false);
}

// As people edit them: comments, CDATA, character references in keys, a processing instruction.
QByteArray edited()
{
    QByteArray bytes = rich();
    bytes.replace("<dict>", "<dict><!-- edited by hand --><?editor keep?>");
    bytes.replace("<key>CFBundleIdentifier</key>", "<key>CFBundle&#73;dentifier</key>");
    bytes.replace("Copyright ©", "<![CDATA[Copyright]]> &#xa9;<!-- sign -->");
    return bytes;
}

} // namespace

class PlistScanTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void agreesWithFullReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("sure");
        const QVariantMap richKeys = richInfoKeys(QStringLiteral("Studio"));
        QByteArray crlf = edited();
        QTest::newRow("realistic xml, 45 keys") << rich() << true;
        QTest::newRow("realistic binary") << binary(richKeys) << true;
        QTest::newRow("edited by hand") << edited() << true;
        QTest::newRow("CRLF line ends") << crlf.replace("\n", "\r\n") << true;
        QTest::newRow("UTF-8 mark, whitespace") << "\xef\xbb\xbf \r\n" + edited() << true;
        QTest::newRow("UTF-16 LE with mark") << utf16(edited(), false) << true;
        QTest::newRow("UTF-16 BE with mark") << utf16(edited(), true) << true;
        QTest::newRow("empty root") << QByteArray("<plist><dict/></plist>") << true;
        QTest::newRow("empty strings") << xml(exeKey + "<string/>" + identKey + "<string></string>") << true;
        QTest::newRow("not strings") << xml(exeKey + "<integer>5</integer>" + identKey + "<array/>") << true;
        QTest::newRow("same key nested is not top level") << xml("<key>a</key><dict>" + exeKey
            + "<string>x</string></dict><key>b</key><array><dict>" + identKey + "<true/></dict></array>")
                                                          << true;
        QTest::newRow("every entity")
            << xml(exeKey + "<string>&amp;&lt;&gt;&quot;&apos;&#65;&#x1F600;]]</string>") << true;
        QTest::newRow("nested 32 deep") << nestedArrays(32) << true;
        QTest::newRow("binary: keys absent") << binary({ { QStringLiteral("x"), 1 } }) << true;
        QTest::newRow("binary: UTF-16 key and value")
            << binary({ { exe, QStringLiteral("Ünö 😀") }, { QStringLiteral("Ñ"), 1 } }) << true;

        // Unusual or malformed: the scan leaves it to the full reader.
        QTest::newRow("key twice") << xml(exeKey + "<string>a</string>" + exeKey + "<string>b</string>")
                                   << false;
        QTest::newRow("key without value") << xml(exeKey) << false;
        QTest::newRow("unknown element") << xml("<key>a</key><strong>x</strong>") << false;
        QTest::newRow("CDATA between elements (fuzzer: looped)")
            << xml("<key>a</key><![CDATA[x]]><true/>") << false;
        QTest::newRow("mismatched end tag") << xml("<key>a</key><array></dict>") << false;
        QTest::newRow("text after the end") << xml("") + "trailing" << false;
        QTest::newRow("nested 33 deep") << nestedArrays(33) << false;
        QTest::newRow("bare ampersand") << aString("a & b") << false;
        QTest::newRow("control character") << aString("\x01") << false;
        QTest::newRow("binary: root not a dictionary") << withTrailerField(binary(richKeys), 16, 1) << false;
        QTest::newRow("binary: offset table past the end")
            << withTrailerField(binary(richKeys), 24, 1 << 20) << false;
        QTest::newRow("binary: key twice")
            << patched(binary({ { exe, 1 }, { QStringLiteral("CFBundleExecutablf"), 2 } }), "blf", "ble")
            << false;
        // libplist turns U+0080 into NUL, which ends the key.
        QTest::newRow("binary: key with U+0080")
            << binary({ { QStringLiteral("CFBundleExecutable\u0080"), 1 } }) << false;
        QTest::newRow("binary: value with NUL")
            << patched(binary({ { exe, QStringLiteral("AB") } }), "AB", QByteArray("A\0", 2)) << false;
    }
    void agreesWithFullReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, sure);
        QVERIFY(!bytes.isEmpty());
        const std::optional<QVariantMap> full = readPropertyList(bytes);
        const std::optional<PlistTopLevel> scanned = scanTopLevel(bytes, asked);
        QCOMPARE(scanned.has_value(), sure);
        // readTopLevel gives the full reader's answer, scanned or not.
        const std::optional<PlistTopLevel> read = readTopLevel(bytes, asked);
        QCOMPARE(read.has_value(), full.has_value());
        for (const std::optional<PlistTopLevel> &found : { scanned, read }) {
            if (!found)
                continue;
            for (const QLatin1StringView key : asked) {
                const QVariant value = full->value(key);
                QCOMPARE(found->contains(key), full->contains(key));
                QCOMPARE(found->string(key),
                    value.typeId() == QMetaType::QString ? std::optional(value.toString()) : std::nullopt);
            }
        }
    }

    void sandboxEntitlement_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("sure");
        QTest::addColumn<bool>("sandboxed");
        const auto entry = [](const QByteArray &value) {
            return xml("<key>x</key><true/><key>com.apple.security.app-sandbox</key>" + value);
        };
        QTest::newRow("true") << entry("<true/>") << true << true;
        QTest::newRow("false") << entry("<false/>") << true << false;
        QTest::newRow("absent") << xml("<key>com.apple.security.app-sandbox.x</key><true/>") << true << false;
        QTest::newRow("string") << entry("<string>true</string>") << true << false;
        QTest::newRow("integer 0") << entry("<integer> 0</integer>") << true << false;
        QTest::newRow("integer octal 010") << entry("<integer>010</integer>") << true << true;
        QTest::newRow("integer 08, octal to its 8") << entry("<integer>08</integer>") << true << false;
        QTest::newRow("integer hex") << entry("<integer>0x10</integer>") << true << true;
        QTest::newRow("real 0.5") << entry("<real>0.5</real>") << true << true;
        QTest::newRow("real 0.0") << entry("<real>0.0</real>") << true << false;
        QTest::newRow("integer with a comment") << entry("<integer>1<!-- x --></integer>") << false << true;
        QTest::newRow("integer with a reference") << entry("<integer>&#49;</integer>") << false << false;
        QTest::newRow("no end tag, which only the full reader takes")
            << entry("<true/>").chopped(10) << false << true;
        for (const auto &[name, value, sandboxed] : { std::tuple("binary true", QVariant(true), true),
                 std::tuple("binary 0", QVariant(qint64(0)), false),
                 std::tuple("binary -0.0", QVariant(-0.0), false),
                 std::tuple("binary string", QVariant(QStringLiteral("1")), false) })
            QTest::newRow(name) << binary({ { sandboxKey, value } }) << true << sandboxed;
    }
    void sandboxEntitlement()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, sure);
        QFETCH(bool, sandboxed);
        const std::optional<QVariantMap> full = readPropertyList(bytes);
        QCOMPARE(full && sandboxEntitlementIn(*full), sandboxed);
        QCOMPARE(scanSandboxEntitlement(bytes), sure ? std::optional(sandboxed) : std::nullopt);
        QCOMPARE(readSandboxEntitlement(bytes), sandboxed);
    }

    void smallFile_data()
    {
        QTest::addColumn<QString>("path"); // below the temporary folder
        QTest::addColumn<int>("error");
        QTest::newRow("within the cap") << QStringLiteral("small") << 0;
        QTest::newRow("over the cap") << QStringLiteral("large") << EFBIG;
        QTest::newRow("a folder") << QStringLiteral("folder") << EINVAL;
        QTest::newRow("a FIFO, never waited on") << QStringLiteral("fifo") << EINVAL;
    }
    void smallFile()
    {
        QFETCH(QString, path);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QByteArray small("sixteen bytes ok");
        QVERIFY(writeFile(dir.filePath(QStringLiteral("small")), small));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("large")), small + 'x'));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
        QByteArray buffer(64, 'z'); // a reused buffer holds what was read, nothing more
        QCOMPARE(
            readSmallFile(QFile::encodeName(dir.filePath(path)).constData(), small.size(), buffer), error);
        QCOMPARE(buffer, path == QLatin1String("small") ? small : QByteArray());
    }
};

TANDREL_TEST_MAIN(PlistScanTest)
#include "tst_plistscan.moc"
