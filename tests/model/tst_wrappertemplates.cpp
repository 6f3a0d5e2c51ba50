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

} // namespace

class WrapperTemplatesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Property list
    void infoPlist_isExactText()
    {
        const QString expected
            = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                             "<plist version=\"1.0\">\n"
                             "<dict>\n"
                             "\t<key>CFBundleName</key>\n"
                             "\t<string>Mail - Work</string>\n"
                             "\t<key>CFBundleDisplayName</key>\n"
                             "\t<string>Mail - Work</string>\n"
                             "\t<key>CFBundleIdentifier</key>\n"
                             "\t<string>io.tandrel.space.0f8fad5b-d9cb-469f-a165-70867728950e</string>\n"
                             "\t<key>CFBundleExecutable</key>\n"
                             "\t<string>launcher</string>\n"
                             "\t<key>CFBundleIconFile</key>\n"
                             "\t<string>app</string>\n"
                             "\t<key>CFBundlePackageType</key>\n"
                             "\t<string>APPL</string>\n"
                             "\t<key>CFBundleInfoDictionaryVersion</key>\n"
                             "\t<string>6.0</string>\n"
                             "\t<key>CFBundleVersion</key>\n"
                             "\t<string>1.0</string>\n"
                             "\t<key>CFBundleShortVersionString</key>\n"
                             "\t<string>1.0</string>\n"
                             "\t<key>LSMinimumSystemVersion</key>\n"
                             "\t<string>12.0</string>\n"
                             "\t<key>NSHighResolutionCapable</key>\n"
                             "\t<true/>\n"
                             "</dict>\n"
                             "</plist>");
        const QString text = infoPlistText(QStringLiteral("Mail - Work"), kId);
        QCOMPARE(text, expected);
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

    // Launcher scripts
    void launcher_ordinaryValuesGiveExactText_data()
    {
        QTest::addColumn<int>("strategy");
        QTest::addColumn<QString>("expected");
        const QString d = ordinaryValues().dataDir;
        QTest::newRow("home")
            << int(LaunchStrategy::IsolatedHome)
            << QString("#!/bin/bash\n"
                       "# Tandrel launcher (HOME aislado)\n"
                       "mkdir -p \""
                   + d
                   + "/home\"\n"
                     "# Enlaces a las carpetas reales del usuario (lectura y escritura)\n"
                     "for d in Downloads Documents Desktop; do\n"
                     "  [ -e \""
                   + d + "/home/$d\" ] || ln -s \"/Users/José/$d\" \"" + d
                   + "/home/$d\"\n"
                     "done\n"
                     "export HOME=\""
                   + d
                   + "/home\"\n"
                     "exec \"/Applications/R&D Tools' Browser.app/Contents/MacOS/R&D Browser\" \"$@\"");
        QTest::newRow("udd") << int(LaunchStrategy::UserDataDir)
                             << QString("#!/bin/bash\n"
                                        "# Tandrel launcher (user-data-dir, vía Launch Services)\n"
                                        "mkdir -p \""
                                    + d
                                    + "\"\n"
                                      "exec /usr/bin/open -n \"/Applications/R&D Tools' Browser.app\" --args "
                                      "--user-data-dir=\""
                                    + d + "\" \"$@\"");
        QTest::newRow("gecko") << int(LaunchStrategy::GeckoProfile)
                               << QString("#!/bin/bash\n"
                                          "# Tandrel launcher (Gecko: --no-remote --profile)\n"
                                          "mkdir -p \""
                                      + d
                                      + "/profile\"\n"
                                        "exec /usr/bin/open -n \"/Applications/R&D Tools' Browser.app\" "
                                        "--args --no-remote --profile \""
                                      + d + "/profile\" \"$@\"");
    }
    void launcher_ordinaryValuesGiveExactText()
    {
        QFETCH(int, strategy);
        QFETCH(QString, expected);
        const QString script = launcherScript(LaunchStrategy(strategy), ordinaryValues());
        QCOMPARE(script, expected);
        QVERIFY(script.endsWith(QLatin1String("\"$@\"")));
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

    void launcher_escapesEveryPlaceholder_data()
    {
        QTest::addColumn<int>("strategy");
        QTest::newRow("home") << int(LaunchStrategy::IsolatedHome);
        QTest::newRow("udd") << int(LaunchStrategy::UserDataDir);
        QTest::newRow("gecko") << int(LaunchStrategy::GeckoProfile);
    }
    void launcher_escapesEveryPlaceholder()
    {
        QFETCH(int, strategy);
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
