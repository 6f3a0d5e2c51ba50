// Desktop apps on Linux: which entries are listed, how each app is started, the exact Exec
// of an instance, and which entries count as Tandrel's.
#include "model/DesktopInstance.h"
#include "model/DesktopKeyFile.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "platform/linux/DesktopLauncher.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QDir>

using namespace tandrel;

namespace {

void write(const QString &path, const QByteArray &text, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    if (executable)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray entry(const QByteArray &name, const QByteArray &more = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=sh -c \"exit 0\" %F\n" + more;
}

} // namespace

class DesktopAppsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QList<DesktopApp> m_apps;
    QString m_entries;
    const QString m_planted = test::newInstanceId();

    QString in(const QString &relative) const { return m_root.filePath(relative); }

    // A fresh instance of the fixture app "Editor", written as the app would write it.
    QString instance(const QString &id, LaunchStrategy strategy = LaunchStrategy::IsolatedHome)
    {
        const std::optional<DesktopApp> app = readDesktopApp(in(QStringLiteral("orig/editor.desktop")), QStringLiteral("editor.desktop"));
        const DesktopInstancePlan plan{id, QStringLiteral("Work"), in(QStringLiteral("data/")) + id,
                                       QStringLiteral("/icons/work.png"), instanceWindowClass(id), strategy};
        return writeDesktopInstance(app.value(), plan, m_entries);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("LANGUAGE", "es");
        write(in(QStringLiteral("bin/flatpak")), "#!/bin/sh\n", true);
        qputenv("PATH", QFile::encodeName(in(QStringLiteral("bin"))) + ':' + qgetenv("PATH"));
        const QString user = in(QStringLiteral("user/")), system = in(QStringLiteral("system/"));
        write(user + QStringLiteral("shadowed.desktop"), "[Desktop Entry]\nHidden=true\n");
        write(user + QStringLiteral("first.desktop"), entry("User copy"));
        write(user + QStringLiteral("kde/sub.desktop"), entry("In a folder"));
        write(user + instanceEntryFileName(m_planted), entry("Instance", "X-Tandrel-Instance=x\n"));
        write(system + QStringLiteral("shadowed.desktop"), entry("System"));
        write(system + QStringLiteral("first.desktop"), entry("System copy"));
        write(system + QStringLiteral("hidden.desktop"), entry("Hidden", "Hidden=true\n"));
        write(system + QStringLiteral("nodisplay.desktop"), entry("No display", "NoDisplay=true\n"));
        write(system + QStringLiteral("tryexec.desktop"), entry("TryExec", "TryExec=/nonexistent/program\n"));
        write(system + QStringLiteral("link.desktop"), "[Desktop Entry]\nType=Link\nName=Link\nURL=file:///\n");
        write(system + QStringLiteral("io.tandrel.Tandrel.desktop"), entry("Tandrel"));
        write(system + QStringLiteral("huge.desktop"), entry("Huge", QByteArray(300 * 1024, '#')));
        write(system + QStringLiteral("clock.desktop"), entry("Clock", "Name[es]=Reloj\nName[fr]=Horloge\n"));
        write(system + QStringLiteral("flat.desktop"), entry("Flat", "X-Flatpak=org.example.Flat\n"));
        write(system + QStringLiteral("flatrun.desktop"), "[Desktop Entry]\nType=Application\nName=Run\nExec=flatpak run a.B\n");
        write(system + QStringLiteral("snap.desktop"), entry("Snap", "X-SnapInstanceName=snappy\n"));
        write(system + QStringLiteral("env.desktop"),
              "[Desktop Entry]\nType=Application\nName=Env\nExec=env A=1 sh %U\nIcon=env\nStartupWMClass=envy\n"
              "DBusActivatable=true\n");
        m_apps = discoverDesktopApps({user, in(QStringLiteral("missing")), system});
        write(in(QStringLiteral("orig/editor.desktop")),
              entry("Editor", "Name[es]=Editor de textos\nCategories=Utility;\nMimeType=text/plain;\nActions=new;\n"
                              "\n[Desktop Action new]\nName=New\nExec=sh\n"));
        m_entries = in(QStringLiteral("entries"));
    }

    void discovery_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name"); // empty when not listed
        QTest::addColumn<int>("sandbox");
        const int none = int(SandboxKind::None), flatpak = int(SandboxKind::Flatpak), unlisted = -1;
        QTest::newRow("first id wins") << "first.desktop" << "User copy" << none;
        QTest::newRow("user's Hidden shadows the system's") << "shadowed.desktop" << "" << unlisted;
        QTest::newRow("subfolder joins the id") << "kde-sub.desktop" << "In a folder" << none;
        QTest::newRow("Hidden") << "hidden.desktop" << "" << unlisted;
        QTest::newRow("NoDisplay") << "nodisplay.desktop" << "" << unlisted;
        QTest::newRow("TryExec not found") << "tryexec.desktop" << "" << unlisted;
        QTest::newRow("Type=Link") << "link.desktop" << "" << unlisted;
        QTest::newRow("Tandrel itself") << "io.tandrel.Tandrel.desktop" << "" << unlisted;
        QTest::newRow("an instance entry") << instanceEntryFileName(m_planted) << "" << unlisted;
        QTest::newRow("over the size cap") << "huge.desktop" << "" << unlisted;
        QTest::newRow("localised Name") << "clock.desktop" << "Reloj" << none;
        QTest::newRow("X-Flatpak") << "flat.desktop" << "Flat" << flatpak;
        QTest::newRow("flatpak run") << "flatrun.desktop" << "Run" << flatpak;
        QTest::newRow("X-SnapInstanceName") << "snap.desktop" << "Snap" << int(SandboxKind::Snap);
    }
    void discovery()
    {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(int, sandbox);
        const auto found = std::find_if(m_apps.cbegin(), m_apps.cend(), [&](const DesktopApp &app) { return app.desktopId == id; });
        QCOMPARE(found == m_apps.cend() ? QString() : found->name, name);
        QCOMPARE(found == m_apps.cend() ? -1 : int(found->sandbox), sandbox);
    }

    void discovery_readsTheFields()
    {
        const auto env = std::find_if(m_apps.cbegin(), m_apps.cend(), [](const DesktopApp &app) { return app.name == QLatin1String("Env"); });
        QVERIFY(env != m_apps.cend());
        QCOMPARE(env->filePath, in(QStringLiteral("system/env.desktop")));
        QCOMPARE(env->exec, QStringLiteral("env A=1 sh %U"));
        QVERIFY2(env->program.endsWith(QLatin1String("/sh")) && QFileInfo(env->program).isAbsolute(), qPrintable(env->program));
        QCOMPARE(env->icon + env->startupWmClass, QStringLiteral("envenvy"));
        QVERIFY(env->dbusActivatable);
    }

    void defaultFolders()
    {
        qputenv("XDG_DATA_DIRS", "/opt/share/:relative:/var/lib/flatpak/exports/share");
        const QStringList folders = desktopApplicationFolders();
        QCOMPARE(folders, QStringList({dataHome().value() + QStringLiteral("/applications"), QStringLiteral("/opt/share/applications"),
                                       QStringLiteral("/var/lib/flatpak/exports/share/applications"),
                                       dataHome().value() + QStringLiteral("/flatpak/exports/share/applications"),
                                       QStringLiteral("/var/lib/snapd/desktop/applications")}));
        qunsetenv("XDG_DATA_DIRS");
        QVERIFY(desktopApplicationFolders().mid(1, 2) == QStringList({QStringLiteral("/usr/local/share/applications"), QStringLiteral("/usr/share/applications")}));
    }

    void classification_data()
    {
        QTest::addColumn<QString>("program");   // made under the row's folder
        QTest::addColumn<QString>("linkTo");    // when set, the program is a link to this file
        QTest::addColumn<QStringList>("files"); // made beside them
        QTest::addColumn<bool>("homeMode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Debian's chromium wrapper") << "usr/bin/chromium" << "" << QStringList() << false << "udd";
        QTest::newRow("Brave behind a neutral link") << "bin/browser" << "opt/brave.com/brave/brave-browser" << QStringList() << false << "udd";
        QTest::newRow("Debian's firefox-esr") << "usr/lib/firefox-esr/firefox-esr" << "" << QStringList() << false << "gecko";
        QTest::newRow("Thunderbird") << "usr/bin/thunderbird" << "" << QStringList() << false << "gecko";
        QTest::newRow("Electron: app.asar") << "opt/Chat/chat" << "" << QStringList{"opt/Chat/resources/app.asar"} << false << "udd";
        QTest::newRow("Electron: ffmpeg and sandbox") << "opt/Tool/tool" << "" << QStringList{"opt/Tool/libffmpeg.so", "opt/Tool/chrome-sandbox"} << false << "udd";
        QTest::newRow("ffmpeg alone is no sign") << "opt/Player/player" << "" << QStringList{"opt/Player/libffmpeg.so"} << false << "home";
        QTest::newRow("Electron: launcher in bin/") << "share/code/bin/code" << "" << QStringList{"share/code/resources/app.asar"} << false << "udd";
        QTest::newRow("Electron behind a link") << "usr/bin/chat" << "usr/lib/chat/chat" << QStringList{"usr/lib/chat/resources/app.asar"} << false << "udd";
        QTest::newRow("versioned system Electron") << "usr/bin/electron25" << "" << QStringList() << false << "udd";
        QTest::newRow("AppImage") << "Apps/Chat.AppImage" << "" << QStringList{"Apps/resources/app.asar"} << false << "home";
        QTest::newRow("other app") << "usr/bin/gedit" << "" << QStringList() << false << "home";
        QTest::newRow("Home mode on Chromium") << "usr/bin/chromium" << "" << QStringList() << true << "home";
    }
    void classification()
    {
        QFETCH(QString, program);
        QFETCH(QString, linkTo);
        QFETCH(QStringList, files);
        QFETCH(bool, homeMode);
        QFETCH(QString, expected);
        const QString base = in(QStringLiteral("apps/") + QString::fromLatin1(QTest::currentDataTag()) + QLatin1Char('/'));
        for (const QString &file : files + QStringList{linkTo.isEmpty() ? program : linkTo})
            write(base + file, "#!/bin/sh\n", true);
        if (!linkTo.isEmpty())
            QVERIFY(QDir().mkpath(QFileInfo(base + program).absolutePath()) && QFile::link(base + linkTo, base + program));
        DesktopApp app;
        app.program = base + program;
        QCOMPARE(strategyText(desktopStrategy(app, homeMode ? Mode::Home : Mode::Auto).value()), expected);
    }

    void handOff_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("dbus");
        QTest::addColumn<bool>("singleWindow");
        QTest::addColumn<bool>("browser");
        QTest::addColumn<bool>("expected");
        QTest::newRow("bus name as id") << "org.gnome.TextEditor.desktop" << false << false << false << true;
        QTest::newRow("DBusActivatable") << "editor.desktop" << true << false << false << true;
        QTest::newRow("SingleMainWindow") << "editor.desktop" << false << true << false << true;
        QTest::newRow("plain id") << "gedit.desktop" << false << false << false << false;
        QTest::newRow("two-part id") << "org.gedit.desktop" << false << false << false << false;
        QTest::newRow("a browser keeps one copy per profile") << "org.chromium.Chromium.desktop" << true << false << true << false;
    }
    void handOff()
    {
        QFETCH(QString, id);
        QFETCH(bool, dbus);
        QFETCH(bool, singleWindow);
        QFETCH(bool, browser);
        QFETCH(bool, expected);
        DesktopApp app;
        app.desktopId = id;
        app.dbusActivatable = dbus;
        app.singleMainWindow = singleWindow;
        QCOMPARE(handsOffToRunningCopy(app, browser ? LaunchStrategy::UserDataDir : LaunchStrategy::IsolatedHome), expected);
    }

    void instanceExec_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QString>("expected");
        const QString udd = QStringLiteral("env BREAKPAD_DUMP_LOCATION=/d/crash XDG_CACHE_HOME=/d/cache ");
        const QString gecko = QStringLiteral("env XDG_CONFIG_HOME=/d/config XDG_CACHE_HOME=/d/cache ");
        const QString home = QStringLiteral("HOME=/d/home XDG_CONFIG_HOME=/d/home/.config XDG_DATA_HOME=/d/home/.local/share "
                                            "XDG_CACHE_HOME=/d/home/.cache XDG_STATE_HOME=/d/home/.local/state GSETTINGS_BACKEND=keyfile ");
        QTest::newRow("Debian's chromium") << "/usr/bin/chromium %U" << "/d" << udd + "/usr/bin/chromium --user-data-dir=/d/profile --class=tandrel-1 %U";
        QTest::newRow("Debian's firefox-esr") << "/usr/lib/firefox-esr/firefox-esr %u" << "/d" << gecko + "/usr/lib/firefox-esr/firefox-esr --profile /d/profile --class tandrel-1 %u";
        QTest::newRow("env prefix: ours after its own") << "env FOO=1 prog %U" << "/d" << "env FOO=1 " + home + "prog %U";
        QTest::newRow("quoted program with spaces") << "\"/opt/My Apps/brave\" --incognito %U" << "/d" << udd + "\"/opt/My Apps/brave\" --user-data-dir=/d/profile --class=tandrel-1 --incognito %U";
        QTest::newRow("literal percent") << "vivaldi --zoom=100%% %U" << "/d" << udd + "vivaldi --user-data-dir=/d/profile --class=tandrel-1 --zoom=100%% %U";
        QTest::newRow("AppImage") << "/home/u/Chat.AppImage %U" << "/d" << "env " + home + "/home/u/Chat.AppImage %U";
        QTest::newRow("field codes in place") << "thunderbird %f %i %c %k" << "/d" << gecko + "thunderbird --profile /d/profile --class tandrel-1 %f %i %c %k";
        QTest::newRow("quotes and escapes kept") << "firefox -P 'my own' \"a \\\"b\\\" \\$c\" %u" << "/d" << gecko + "firefox --profile /d/profile --class tandrel-1 -P \"my own\" \"a \\\"b\\\" \\$c\" %u";
        QTest::newRow("data folder needing quotes") << "chromium %U" << "/h/a b%c" << "env \"BREAKPAD_DUMP_LOCATION=/h/a b%%c/crash\" \"XDG_CACHE_HOME=/h/a b%%c/cache\" chromium \"--user-data-dir=/h/a b%%c/profile\" --class=tandrel-1 %U";
        QTest::newRow("flatpak run") << "/usr/bin/flatpak run --branch=stable org.example.App %u" << "/d" << "refused";
        QTest::newRow("Snap program") << "env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/chat %U" << "/d" << "refused";
        QTest::newRow("unbalanced quote") << "\"prog %U" << "/d" << "unparsable";
    }
    void instanceExec()
    {
        QFETCH(QString, exec);
        QFETCH(QString, dataDir);
        QFETCH(QString, expected);
        DesktopApp app;
        app.program = execProgram(exec);
        app.sandbox = execSandboxKind(exec);
        const std::optional<LaunchStrategy> strategy = desktopStrategy(app, Mode::Auto);
        const std::optional<QString> result
            = strategy ? tandrel::instanceExec(exec, launchAdditions(*strategy, dataDir, QStringLiteral("tandrel-1"))) : QStringLiteral("refused");
        QCOMPARE(result.value_or(QStringLiteral("unparsable")), expected);
    }

    void writing()
    {
        const QString id = test::newInstanceId(), data = in(QStringLiteral("data/")) + id;
        const QString home = test::isolatedHome();
        write(data + QStringLiteral("/home/Downloads"), "mine");
        QVERIFY(QDir(home).mkpath(QStringLiteral("Documents")) && QDir(home).mkpath(QStringLiteral("Downloads")));
        const QString path = instance(id);
        QCOMPARE(path, m_entries + QLatin1Char('/') + instanceEntryFileName(id));
        const std::optional<DesktopInstanceEntry> read = readDesktopInstance(path, m_entries);
        QVERIFY(read && read->createdAt);
        QCOMPARE(QStringList({read->name, read->instanceName, read->dataDir, read->windowClass, read->targetId, strategyText(read->strategy.value())}),
                 QStringList({QStringLiteral("Editor - Work"), QStringLiteral("Work"), data, instanceWindowClass(id), QStringLiteral("editor.desktop"), QStringLiteral("home")}));
        const KeyFile file = loadDesktopKeyFile(path);
        QCOMPARE(keyString(file.get(), QStringLiteral("Name[es]")), QStringLiteral("Editor de textos - Work"));
        QCOMPARE(keyString(file.get(), QStringLiteral("Icon")) + keyString(file.get(), QStringLiteral("Categories")), QStringLiteral("/icons/work.pngUtility;"));
        QVERIFY(!hasKey(file.get(), QStringLiteral("MimeType")) && !hasKey(file.get(), QStringLiteral("Actions")));
        QVERIFY(!keyFileText(file.get()).contains(QLatin1String("Desktop Action")));
        // GIO takes the entry, and its command is the app's with the instance's variables.
        const QString h = data + QStringLiteral("/home");
        QCOMPARE(desktopFileCommandLine(path),
                 QStringList({QStringLiteral("env"), QStringLiteral("HOME=") + h, QStringLiteral("XDG_CONFIG_HOME=") + h + QStringLiteral("/.config"),
                              QStringLiteral("XDG_DATA_HOME=") + h + QStringLiteral("/.local/share"), QStringLiteral("XDG_CACHE_HOME=") + h + QStringLiteral("/.cache"),
                              QStringLiteral("XDG_STATE_HOME=") + h + QStringLiteral("/.local/state"), QStringLiteral("GSETTINGS_BACKEND=keyfile"),
                              QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exit 0")}));
        // The user's folders linked where nothing was; what was there kept; nothing invented.
        QCOMPARE(QFileInfo(h + QStringLiteral("/Documents")).symLinkTarget(), home + QStringLiteral("/Documents"));
        QCOMPARE(fs::readFile(h + QStringLiteral("/Downloads"), 10), QByteArray("mine"));
        QVERIFY(!fs::fileExists(h + QStringLiteral("/Desktop")));
        QVERIFY_THROWS_EXCEPTION(FileSystemError, instance(id));
        const QString gecko = test::newInstanceId(), geckoData = in(QStringLiteral("data/")) + gecko;
        write(home + QStringLiteral("/.config/user-dirs.dirs"), "XDG_DOWNLOAD_DIR=\"$HOME/Descargas\"\n");
        instance(gecko, LaunchStrategy::GeckoProfile);
        QVERIFY(QFileInfo(geckoData + QStringLiteral("/profile")).isDir());
        QCOMPARE(QFileInfo(geckoData + QStringLiteral("/config/user-dirs.dirs")).symLinkTarget(), home + QStringLiteral("/.config/user-dirs.dirs"));
        DesktopApp flat = m_apps.first();
        flat.sandbox = SandboxKind::Flatpak;
        QVERIFY_THROWS_EXCEPTION(TandrelError, writeDesktopInstance(flat, {id, QStringLiteral("W"), data, {}, QStringLiteral("c"), {}}, m_entries));
    }

    // What counts as an instance entry, and so may be removed.
    void recognition_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("ours");
        QTest::newRow("written by Tandrel") << 0 << true;
        QTest::newRow("a link to one") << 1 << false;
        QTest::newRow("one in a subfolder") << 2 << false;
        QTest::newRow("marker names another id") << 3 << false;
        QTest::newRow("no marker") << 4 << false;
        QTest::newRow("upper-case id") << 5 << false;
        QTest::newRow("entries folder reached through a link") << 6 << true;
    }
    void recognition()
    {
        QFETCH(int, row);
        QFETCH(bool, ours);
        QDir(m_entries).removeRecursively();
        const QString id = test::newInstanceId(), other = test::newInstanceId();
        const QString made = instance(id);
        const QByteArray text = fs::readFile(made, maxDesktopEntrySize);
        const auto named = [&](const QString &name) { return m_entries + QLatin1Char('/') + name; };
        const std::function<QString()> setups[] = {
            [&] { return made; },
            [&] { QFile::rename(made, in(QStringLiteral("elsewhere.desktop"))); QFile::link(in(QStringLiteral("elsewhere.desktop")), made); return made; },
            [&] { write(named(QStringLiteral("sub/")) + instanceEntryFileName(id), text); return named(QStringLiteral("sub/")) + instanceEntryFileName(id); },
            [&] { write(named(instanceEntryFileName(other)), text); return named(instanceEntryFileName(other)); },
            [&] { write(named(instanceEntryFileName(other)), entry("Plain")); return named(instanceEntryFileName(other)); },
            [&] { const QString up = id.toUpper(); write(named(instanceEntryFileName(up)), QByteArray(text).replace(id.toLatin1(), up.toLatin1())); return named(instanceEntryFileName(up)); },
            [&] { QFile::link(m_entries, in(QStringLiteral("entries-link"))); return made; },
        };
        const QString path = setups[row]();
        const QString folder = row == 6 ? in(QStringLiteral("entries-link")) : m_entries;
        QCOMPARE(isDesktopInstanceEntry(path, folder), ours);
        RemovalReport report;
        QCOMPARE(removeDesktopInstanceEntry(path, folder, report), ours);
        QCOMPARE(fs::fileExists(path), !ours);
        QCOMPARE(report.isComplete(), ours);
        QVERIFY(row != 1 || fs::itemKind(in(QStringLiteral("elsewhere.desktop"))) == fs::ItemKind::File);
        QFile::remove(in(QStringLiteral("entries-link")));
    }
};

TANDREL_TEST_MAIN(DesktopAppsTest)
#include "tst_desktopapps.moc"
