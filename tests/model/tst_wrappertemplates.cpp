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

    void infoPlist_namesReadBackThroughLibplist()
    {
        const QString display = QStringLiteral(R"(R&D <Tools> "Beta" 'x' - Café)");
        const auto info = readPropertyList(infoPlistText(display, kId).toUtf8());
        QVERIFY(info);
        QCOMPARE(info->value(QStringLiteral("CFBundleName")).toString(), display);
        QCOMPARE(info->value(QStringLiteral("CFBundleDisplayName")).toString(), display);
    }

    // Display names escaped for XML (controls XML forbids dropped), values for a bash
    // double-quoted string
    void escape_data()
    {
        QTest::addColumn<bool>("shell");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("escaped");
        const struct
        {
            const char *tag;
            bool shell;
            const char16_t *value, *escaped;
        } rows[] = {
            { "XML: ampersand and angles", false, u"Mail - R&D <2>", u"Mail - R&amp;D &lt;2&gt;" },
            { "XML: entity text is escaped again", false, u"A &amp; B", u"A &amp;amp; B" },
            { "XML: forbidden controls dropped", false, u"a\u0001b\u001fc\u007fd", u"abc\u007fd" },
            { "XML: lone surrogate dropped", false, u"x\xD800y", u"xy" },
            { "shell: ordinary", true, u"/Applications/Ñu & Co's App.app",
                u"/Applications/Ñu & Co's App.app" },
            { "shell: command substitution", true, u"/Applications/$(touch pwned).app",
                u"/Applications/\\$(touch pwned).app" },
            { "shell: backquote", true, u"a`id`b", u"a\\`id\\`b" },
            { "shell: backslash first", true, uR"(a\$b)", uR"(a\\\$b)" },
        };
        for (const auto &row : rows)
            QTest::newRow(row.tag) << row.shell << QString::fromUtf16(row.value)
                                   << QString::fromUtf16(row.escaped);
    }
    void escape()
    {
        QFETCH(bool, shell);
        QFETCH(QString, value);
        QFETCH(QString, escaped);
        QCOMPARE(shell ? shellEscapeInDoubleQuotes(value) : xmlEscapeDisplayName(value), escaped);
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
