#include "formats/Icns.h"
#include "l10n/LanguageManager.h"
#include "model/BadgedIcon.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "model/bundle/BundleIcon.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtEndian>

using namespace tandrel;

namespace {

// Canvas points to pixels.
QColor pixelAt(const QImage &image, qreal x, qreal y)
{
    const qreal scale = image.width() / 512.0;
    return image.pixelColor(int(x * scale), int(y * scale));
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
        QCOMPARE(colours.first(), QColor(0, 122, 255)); // blue first
        QCOMPARE(colours.last(), QColor(88, 86, 214)); // indigo last
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
