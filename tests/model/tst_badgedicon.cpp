#include "formats/Icns.h"
#include "l10n/LanguageManager.h"
#include "model/BadgedIcon.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "model/bundle/BundleIcon.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QJsonObject>
#include <QtEndian>

using namespace tandrel;

namespace {

// Canvas points to pixels.
QColor pixelAt(const QImage &image, qreal x, qreal y)
{
    const qreal scale = image.width() / 512.0;
    return image.pixelColor(int(x * scale), int(y * scale));
}

// A PNG of the size, in one colour.
QByteArray pngOf(int width, int height, const QColor &color)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 3 && qAbs(a.green() - b.green()) <= 3 && qAbs(a.blue() - b.blue()) <= 3
        && qAbs(a.alpha() - b.alpha()) <= 3;
}

} // namespace

class BadgedIconTest : public QObject
{
    Q_OBJECT

    test::RecordingWorkspace m_workspace;

private Q_SLOTS:
    void initTestCase() { m_workspace.install(); }

    void letter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("letter");
        QTest::newRow("word") << "work mail" << QStringLiteral("W");
        QTest::newRow("digit") << "7 days" << QStringLiteral("7");
        QTest::newRow("combining accent stays with its letter")
            << QStringLiteral("e\u0301cole") << QStringLiteral("E\u0301");
        QTest::newRow("sharp s by the full mapping") << "ßeta" << QStringLiteral("SS");
        QTest::newRow("emoji sequence") << QStringLiteral("👩‍💻 dev") << QStringLiteral("👩‍💻");
        QTest::newRow("leading blank") << " Work" << QStringLiteral(" ");
    }
    void letter()
    {
        QFETCH(QString, name);
        QFETCH(QString, letter);
        QCOMPARE(badgeLetter(name), letter);
    }

    void colours_sevenInOrderAndStablePerName()
    {
        const QList<QColor> &colours = badgeColors();
        QCOMPARE(colours.size(), 7);
        QCOMPARE(badgePalette().first().name, QStringLiteral("blue"));
        QCOMPARE(badgePalette().last().name, QStringLiteral("indigo"));
        for (const QColor &colour : colours) // the white letter reads on every one
            QCOMPARE(badgeTextColor(colour), QColor(Qt::white));
        QSet<QRgb> seen;
        for (int i = 0; i < 200; ++i) {
            const QString name = QStringLiteral("Account %1").arg(i);
            const QColor colour = Store::badgeColor(name);
            QVERIFY(colours.contains(colour));
            QCOMPARE(Store::badgeColor(name), colour);
            seen.insert(colour.rgb());
        }
        QCOMPARE(seen.size(), 7); // the unsigned modulo reaches every index
    }

    // What the badge shows: a chosen colour, a colour of the user's own under a letter that
    // stays readable, a label, an image cut round; anything unusable falls back
    void render_data()
    {
        QTest::addColumn<Badge>("badge");
        QTest::addColumn<QColor>("disc"); // at the top of the disc, clear of the letter
        QTest::addColumn<QColor>("letter"); // expected among the disc's pixels; invalid: none drawn
        QImage red(40, 20, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QTemporaryDir dir;
        const QString redFile = dir.filePath(QStringLiteral("red.png"));
        red.save(redFile);
        const QColor teal = badgeColorValue(QStringLiteral("teal"));
        QTest::newRow("palette colour") << Badge { QStringLiteral("teal") } << teal << QColor(Qt::white);
        QTest::newRow("light colour, dark letter")
            << Badge { QStringLiteral("#ffd60a"), QStringLiteral("W2") } << QColor(0xff, 0xd6, 0x0a)
            << QColor(0x1d, 0x1d, 0x1f);
        QTest::newRow("image instead of colour and letter")
            << Badge { QStringLiteral("teal"), QStringLiteral("A"), badgeImageFromFile(redFile) }
            << QColor(Qt::red) << QColor();
        QTest::newRow("unreadable image: colour and letter") << Badge { QStringLiteral("teal"), {},
            QByteArray("\x89PNG\r\n\x1a\nbroken") } << teal << QColor(Qt::white);
        QTest::newRow("unknown colour: the name's")
            << Badge { QStringLiteral("mauve") } << Store::badgeColor(QStringLiteral("Work"))
            << QColor(Qt::white);
    }
    void render()
    {
        QFETCH(Badge, badge);
        QFETCH(QColor, disc);
        QFETCH(QColor, letter);
        const QImage icon = renderBadgedIcon(QImage(), QStringLiteral("Work"), badge);
        QVERIFY(near(pixelAt(icon, 393, 312), disc));
        bool found = false;
        for (int y = 360; y < 430 && !found; ++y) {
            for (int x = 340; x < 450 && !found; ++x)
                found = letter.isValid() && near(pixelAt(icon, x, y), letter);
        }
        QCOMPARE(found, letter.isValid());
        QVERIFY(near(pixelAt(icon, 393, 292), Qt::white)); // the ring stays
        QCOMPARE(pixelAt(icon, 301, 301).alpha(), 0); // round: the square's corner stays clear
    }

    void labels_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("valid");
        QTest::newRow("one letter") << "w" << true;
        QTest::newRow("two") << "W2" << true;
        QTest::newRow("one emoji sequence") << QStringLiteral("👩‍💻") << true;
        QTest::newRow("accent composed of two code points") << QStringLiteral("e\u0301a") << true;
        QTest::newRow("three") << "ABC" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("a blank") << "A " << false;
        QTest::newRow("a control") << QStringLiteral("A\u0007") << false;
    }
    void labels()
    {
        QFETCH(QString, label);
        QFETCH(bool, valid);
        QCOMPARE(isValidBadgeLabel(label), valid);
    }

    // A record's badge is outside data: what is malformed is dropped, member by member
    void recordBadge_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<Badge>("expected");
        const QByteArray png = pngOf(128, 128, Qt::blue);
        const QByteArray largePng = pngOf(129, 1, Qt::blue);
        const auto base64 = [](const QByteArray &bytes) { return QString::fromLatin1(bytes.toBase64()); };
        QTest::newRow("whole") << QJsonObject { { "color", "#A0B1C2" }, { "label", "W2" },
            { "image", base64(png) } }
                               << Badge { QStringLiteral("#a0b1c2"), QStringLiteral("W2"), png };
        QTest::newRow("not a colour")
            << QJsonObject { { "color", "#12345" }, { "label", "W" } } << Badge { {}, QStringLiteral("W") };
        QTest::newRow("label too long")
            << QJsonObject { { "color", "green" }, { "label", "WORK" } } << Badge { QStringLiteral("green") };
        QTest::newRow("image not base64") << QJsonObject { { "image", "@@@" } } << Badge {};
        QTest::newRow("image not a PNG") << QJsonObject { { "image", base64("GIF89a") } } << Badge {};
        QTest::newRow("image larger than kept") << QJsonObject { { "image", base64(largePng) } } << Badge {};
        QTest::newRow("members of other types")
            << QJsonObject { { "color", 3 }, { "label", true } } << Badge {};
    }
    void recordBadge()
    {
        QFETCH(QJsonObject, json);
        QFETCH(Badge, expected);
        const Badge badge = badgeFromJson(json);
        QCOMPARE(badge, expected);
        QCOMPARE(badgeFromJson(badgeToJson(badge)), badge);
    }

    // A picked image is cut to its centre square and kept small; what is not an image, or
    // claims to be enormous, is refused before decoding
    void imageFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        const QByteArray png = pngOf(900, 300, Qt::green);
        QTest::newRow("a wide photo") << png << true;
        QTest::newRow("not an image") << QByteArray("hello") << false;
        // A PNG header claiming 100000 × 100000 pixels.
        QByteArray huge = png.left(33);
        qToBigEndian<quint32>(100000, huge.data() + 16);
        qToBigEndian<quint32>(100000, huge.data() + 20);
        QTest::newRow("a claimed giant") << huge << false;
    }
    void imageFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("picked")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        try {
            QImage kept;
            QVERIFY(kept.loadFromData(badgeImageFromFile(file.fileName()), "PNG"));
            QVERIFY(accepted);
            QCOMPARE(kept.size(), QSize(badgeImagePixels, badgeImagePixels));
        } catch (const TandrelError &) {
            QVERIFY(!accepted);
        }
    }

    // Each new instance of an app takes the first colour its others do not show
    void firstFreeColour_data()
    {
        QTest::addColumn<QStringList>("used");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList {} << "blue";
        QTest::newRow("the first") << QStringList { "blue" } << "purple";
        QTest::newRow("a gap") << QStringList { "blue", "pink" } << "purple";
        QTest::newRow("own colours are not the palette's") << QStringList { "#0a5cd6" } << "blue";
        QTest::newRow("all of them") << QStringList { "blue", "purple", "pink", "orange", "teal", "green",
            "indigo", "blue" } << "purple";
    }
    void firstFreeColour()
    {
        QFETCH(QStringList, used);
        QFETCH(QString, expected);
        QCOMPARE(firstFreeBadgeColor(used), expected);
    }

    void write_oneElementIcns()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("app.icns"));
        writeBadgedIcon(InstalledApp { QUrl::fromLocalFile(QStringLiteral("/Applications/Mail.app")) },
            QStringLiteral("Work"), path);
        QCOMPARE(m_workspace.iconRequests.last(), QStringLiteral("/Applications/Mail.app"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.left(4), QByteArray("icns"));
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 4), quint32(bytes.size()));
        QCOMPARE(bytes.mid(8, 4), QByteArray("ic10"));
        QCOMPARE(
            qFromBigEndian<quint32>(bytes.constData() + 12), quint32(bytes.size() - 8)); // the only element
        QVERIFY(bytes.mid(16, 8) == QByteArray("\x89PNG\r\n\x1a\n"));
        const QImage decoded = readLargestIcnsImage(bytes);
        QCOMPARE(decoded.size(), QSize(1024, 1024));
        QVERIFY(near(pixelAt(decoded, 393, 312), Store::badgeColor(QStringLiteral("Work"))));
    }

    void write_failureIsAnError()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(TandrelError,
            writeBadgedIcon(InstalledApp { QUrl::fromLocalFile(QStringLiteral("/Applications/Mail.app")) },
                QStringLiteral("Work"), dir.filePath(QStringLiteral("missing/app.icns"))));
    }
};

TANDREL_GUI_TEST_MAIN(BadgedIconTest)
#include "tst_badgedicon.moc"
