#include "formats/PropertyList.h"
#include "model/bundle/WrapperTemplates.h"
#include "support/TestEnvironment.h"

using namespace tandrel;

namespace {

const QString kId = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");

LauncherValues ordinaryValues()
{
    return { QStringLiteral("/Users/José/Library/Application Support/Tandrel/") + kId,
        QStringLiteral("/Users/José"), QStringLiteral("/Applications/R&D Tools' Browser.app"),
        QStringLiteral("R&D Browser") };
}

// The exact text expected, kept byte for byte in golden/ beside this file.
QString golden(const QByteArray &name)
{
    QFile file(QStringLiteral(TANDREL_SOURCE_DIR "/tests/model/golden/") + QString::fromUtf8(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class WrapperTemplatesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Property list
    void infoPlist_isExactText()
    {
        const QString text = infoPlistText(QStringLiteral("Mail - Work"), kId);
        QCOMPARE(text, golden("Info.plist"));
        QCOMPARE(readPropertyList(text.toUtf8())->value(QStringLiteral("CFBundleIdentifier")).toString(),
            QStringLiteral("io.tandrel.space.") + kId);
    }

    void xmlEscape_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("ampersand and angles") << "Mail - R&D <2>"
                                              << "Mail - R&amp;D &lt;2&gt;";
        QTest::newRow("entity text is escaped again") << "A &amp; B"
                                                      << "A &amp;amp; B";
        QTest::newRow("forbidden controls dropped") << QString::fromUtf8("a\x01"
                                                                         "b\x1f"
                                                                         "c\x7f"
                                                                         "d")
                                                    << QString::fromUtf8("ab"
                                                                         "c\x7f"
                                                                         "d");
        QTest::newRow("lone surrogate dropped")
            << QString(QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y")) << "xy";
    }
    void xmlEscape()
    {
        QFETCH(QString, display);
        QFETCH(QString, escaped);
        QCOMPARE(xmlEscapeDisplayName(display), escaped);
    }

    void infoPlist_namesReadBackThroughLibplist()
    {
        const QString display = QStringLiteral(R"(R&D <Tools> "Beta" 'x' - Café)");
        const auto info = readPropertyList(infoPlistText(display, kId).toUtf8());
        QVERIFY(info);
        QCOMPARE(info->value(QStringLiteral("CFBundleName")).toString(), display);
        QCOMPARE(info->value(QStringLiteral("CFBundleDisplayName")).toString(), display);
    }

    void shellEscape_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("ordinary") << "/Applications/Ñu & Co's App.app"
                                  << "/Applications/Ñu & Co's App.app";
        QTest::newRow("command substitution") << "/Applications/$(touch pwned).app"
                                              << "/Applications/\\$(touch pwned).app";
        QTest::newRow("backquote") << "a`id`b"
                                   << "a\\`id\\`b";
        QTest::newRow("backslash first") << R"(a\$b)"
                                         << R"(a\\\$b)";
    }
    void shellEscape()
    {
        QFETCH(QString, value);
        QFETCH(QString, escaped);
        QCOMPARE(shellEscapeInDoubleQuotes(value), escaped);
    }

    // Launcher scripts: the exact text for ordinary values, and every placeholder escaped
    void launcher_data()
    {
        QTest::addColumn<int>("strategy");
        QTest::newRow("home") << int(LaunchStrategy::IsolatedHome);
        QTest::newRow("udd") << int(LaunchStrategy::UserDataDir);
        QTest::newRow("gecko") << int(LaunchStrategy::GeckoProfile);
    }
    void launcher()
    {
        QFETCH(int, strategy);
        QCOMPARE(launcherScript(LaunchStrategy(strategy), ordinaryValues()),
            golden("launcher-" + strategyText(LaunchStrategy(strategy)).toUtf8()));
        const LauncherValues hostile { QStringLiteral("/d/$(D)"), QStringLiteral("/h/`H`"),
            QStringLiteral("/t/\"T\".app"), QStringLiteral("e\\$E") };
        const QString script = launcherScript(LaunchStrategy(strategy), hostile);
        QVERIFY(!script.contains(QLatin1String("/d/$(D)")));
        QVERIFY(script.contains(QLatin1String("/d/\\$(D)")));
        QVERIFY(!script.contains(QLatin1String("/t/\"T\"")));
        if (LaunchStrategy(strategy) == LaunchStrategy::IsolatedHome) {
            QVERIFY(script.contains(QLatin1String("/h/\\`H\\`")));
            QVERIFY(script.contains(QLatin1String("e\\\\\\$E")));
        }
    }
};

TANDREL_TEST_MAIN(WrapperTemplatesTest)
#include "tst_wrappertemplates.moc"
