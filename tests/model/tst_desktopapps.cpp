// Desktop apps on Linux: which entries are listed, how each app is started, the exact Exec
// of an instance, what its entry holds, and which entries count as Tandrel's.
#include "model/AppIcons.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "model/desktop/DesktopIcon.h"
#include "model/desktop/DesktopInstance.h"
#include "model/desktop/DesktopKeyFile.h"
#include "platform/FileSystem.h"
#include "platform/linux/DesktopLauncher.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QProcess>

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

// An entry GIO accepts, with its Name; later keys in `more` replace earlier ones.
QByteArray entry(const char *name, const char *more = "")
{
    return "[Desktop Entry]\nType=Application\nExec=sh -c \"exit 0\" %F\nName=" + QByteArray(name) + '\n'
        + more;
}

// An entry of the discovery fixture and what discovery makes of it: its name when listed.
struct Fixture
{
    const char *tag, *file, *name, *more, *listedAs;
    SandboxKind sandbox = SandboxKind::None;
    int paddingKiB = 0;
};
const Fixture fixtures[] = {
    { "first id wins", "user/first.desktop", "User copy", "", "User copy" },
    { "the same id later is shadowed", "system/first.desktop", "System copy", "", "" },
    { "a user's Hidden copy", "user/shadowed.desktop", "Mine", "Hidden=true\n", "" },
    { "shadowed by a user's Hidden copy", "system/shadowed.desktop", "System", "", "" },
    { "in a subfolder", "user/kde/sub.desktop", "In a folder", "", "In a folder" },
    { "inside a bundle", "user/Notes.app/Contents/notes.desktop", "Bundled", "", "" },
    { "Hidden", "system/hidden.desktop", "Hidden", "Hidden=true\n", "" },
    { "NoDisplay", "system/nodisplay.desktop", "No display", "NoDisplay=true\n", "" },
    { "TryExec not found", "system/tryexec.desktop", "TryExec", "TryExec=/nonexistent/program\n", "" },
    { "program not found", "system/missing.desktop", "Missing", "Exec=/nonexistent/program %U\n", "" },
    { "Type=Link", "system/link.desktop", "Link", "Type=Link\nURL=file:///\n", "" },
    { "Tandrel itself", "system/io.tandrel.Tandrel.desktop", "Tandrel", "", "" },
    { "an instance entry", "user/tandrel-x.desktop", "Instance", "X-Tandrel-Instance=x\n", "" },
    { "over the size cap", "system/huge.desktop", "Huge", "", "", SandboxKind::None, 300 },
    { "localised Name", "system/clock.desktop", "Clock", "Name[es]=Reloj\nName[fr]=Horloge\n", "Reloj" },
    { "X-Flatpak", "system/flat.desktop", "Flat", "X-Flatpak=org.example.Flat\n", "Flat",
        SandboxKind::Flatpak },
    { "flatpak run", "system/run.desktop", "Run", "Exec=flatpak run a.B\n", "Run", SandboxKind::Flatpak },
    { "X-SnapInstanceName", "system/snap.desktop", "Snap", "X-SnapInstanceName=snappy\n", "Snap",
        SandboxKind::Snap },
    { "env prefix", "system/env.desktop", "Env",
        "Exec=env A=1 sh %U\nIcon=env\nStartupWMClass=envy\nDBusActivatable=true\nGenericName=Shell\n"
        "GenericName[es]=Intérprete\nKeywords=cli;prompt;\nKeywords[es]=consola;\n",
        "Env" },
};

// A program of the classification fixture, with the files beside it and its strategy.
struct Program
{
    const char *tag, *program, *linkTo, *files, *expected;
    bool homeMode = false;
};
const Program programs[] = {
    { "Debian's chromium wrapper", "usr/bin/chromium", "", "", "udd" },
    { "Brave behind a neutral link", "bin/browser", "opt/brave.com/brave/brave-browser", "", "udd" },
    { "Debian's firefox-esr", "usr/lib/firefox-esr/firefox-esr", "", "", "gecko" },
    { "Thunderbird", "usr/bin/thunderbird", "", "", "gecko" },
    { "Electron: app.asar", "opt/Chat/chat", "", "opt/Chat/resources/app.asar", "udd" },
    { "Electron: ffmpeg and sandbox", "opt/Tool/tool", "", "opt/Tool/libffmpeg.so opt/Tool/chrome-sandbox",
        "udd" },
    { "ffmpeg alone is no sign", "opt/Player/player", "", "opt/Player/libffmpeg.so", "home" },
    { "Electron: launcher in bin/", "share/code/bin/code", "", "share/code/resources/app.asar", "udd" },
    { "Electron behind a link", "usr/bin/chat", "usr/lib/chat/chat", "usr/lib/chat/resources/app.asar",
        "udd" },
    { "versioned system Electron", "usr/bin/electron25", "", "", "udd" },
    { "Gecko wins over Electron's files", "opt/Odd/firefox", "", "opt/Odd/resources/app.asar", "gecko" },
    { "AppImage", "Apps/Chat.AppImage", "", "Apps/resources/app.asar", "home" },
    { "other app", "usr/bin/gedit", "", "", "home" },
    { "Home mode on Chromium", "usr/bin/chromium", "", "", "home", true },
};

} // namespace

class DesktopAppsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QList<DesktopApp> m_apps;
    QString m_entries = in(QStringLiteral("entries"));

    QString in(const QString &relative) const { return m_root.filePath(relative); }
    const DesktopApp *listed(const QString &file) const
    {
        const auto found = std::find_if(
            m_apps.cbegin(), m_apps.cend(), [&](const DesktopApp &app) { return app.filePath == in(file); });
        return found == m_apps.cend() ? nullptr : &*found;
    }
    // A fresh instance of the fixture app "Editor".
    QString instance(const QString &id, LaunchStrategy strategy = LaunchStrategy::IsolatedHome)
    {
        const DesktopApp app
            = readDesktopApp(in(QStringLiteral("orig/editor.desktop")), QStringLiteral("editor.desktop"))
                  .value();
        return writeDesktopInstance(app,
            { id, QStringLiteral("Work"), in(QStringLiteral("data/")) + id, QStringLiteral("/icons/work.png"),
                instanceWindowClass(id), strategy },
            m_entries);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("LANGUAGE", "es");
        write(in(QStringLiteral("bin/flatpak")), "#!/bin/sh\n", true);
        qputenv("PATH", QFile::encodeName(in(QStringLiteral("bin"))) + ':' + qgetenv("PATH"));
        for (const Fixture &fixture : fixtures)
            write(in(QLatin1String(fixture.file)),
                entry(fixture.name, fixture.more) + QByteArray(fixture.paddingKiB * 1024, '#'));
        m_apps = discoverDesktopApps(
            { in(QStringLiteral("user")), in(QStringLiteral("missing")), in(QStringLiteral("system")) });
        write(in(QStringLiteral("orig/editor.desktop")),
            entry("Editor",
                "Name[es]=Editor de "
                "textos\nCategories=Utility;\nMimeType=text/plain;\nGenericName=Text "
                "Editor\nGenericName[es]=Editor\n"
                "Comment[es]=Sin original\nKeywords=text;\n"
                "Actions=new;bad id;broken;\n\n[Desktop Action new]\nName=New\nName[es]=Nuevo\nExec=sh -c "
                "'exit "
                "1'\n\n[Desktop Action broken]\nName=Broken\nExec=\"sh\n"));
    }

    void discovery_data()
    {
        QTest::addColumn<int>("row");
        for (const Fixture &fixture : fixtures)
            QTest::newRow(fixture.tag) << int(&fixture - fixtures);
    }
    void discovery()
    {
        QFETCH(int, row);
        const DesktopApp *app = listed(QLatin1String(fixtures[row].file));
        QCOMPARE(app ? app->name : QString(), QString::fromUtf8(fixtures[row].listedAs));
        QCOMPARE(int(app ? app->sandbox : SandboxKind::None), int(fixtures[row].sandbox));
    }

    void discovery_readsTheFields()
    {
        const DesktopApp *env = listed(QStringLiteral("system/env.desktop"));
        QVERIFY(env
            && listed(QStringLiteral("user/kde/sub.desktop"))->desktopId == QLatin1String("kde-sub.desktop"));
        // The words it is searched by, in the language asked for (LANGUAGE=es here).
        QCOMPARE(QStringList({ env->desktopId, env->exec, env->icon, env->startupWmClass, env->keywords }),
            QStringList({ QStringLiteral("env.desktop"), QStringLiteral("env A=1 sh %U"),
                QStringLiteral("env"), QStringLiteral("envy"), QStringLiteral("Intérprete\nconsola") }));
        QVERIFY2(env->program.endsWith(QLatin1String("/sh")) && QFileInfo(env->program).isAbsolute(),
            qPrintable(env->program));
        QVERIFY(env->dbusActivatable);
    }

    void defaultFolders()
    {
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        qputenv("XDG_DATA_DIRS", "/opt/share/:relative:/var/lib/flatpak/exports/share");
        QCOMPARE(desktopApplicationFolders(),
            QStringList({ data + QStringLiteral("/applications"), QStringLiteral("/opt/share/applications"),
                QStringLiteral("/var/lib/flatpak/exports/share/applications"),
                data + QStringLiteral("/flatpak/exports/share/applications"),
                QStringLiteral("/var/lib/snapd/desktop/applications") }));
        qunsetenv("XDG_DATA_DIRS");
        QCOMPARE(desktopApplicationFolders().mid(1, 2),
            QStringList({ QStringLiteral("/usr/local/share/applications"),
                QStringLiteral("/usr/share/applications") }));
    }

    void classification_data()
    {
        QTest::addColumn<int>("row");
        for (const Program &program : programs)
            QTest::newRow(program.tag) << int(&program - programs);
    }
    void classification()
    {
        QFETCH(int, row);
        const Program &row_ = programs[row];
        const QString base = in(QStringLiteral("apps/%1/").arg(row));
        const QString program = base + QLatin1String(row_.program),
                      real = base + QLatin1String(*row_.linkTo ? row_.linkTo : row_.program);
        const QStringList files = QString::fromLatin1(row_.files).split(QLatin1Char(' '), Qt::SkipEmptyParts)
            << real.mid(base.size());
        for (const QString &file : files)
            write(base + file, "#!/bin/sh\n", true);
        QVERIFY(program == real
            || (QDir().mkpath(QFileInfo(program).absolutePath()) && QFile::link(real, program)));
        DesktopApp app;
        app.program = program;
        QCOMPARE(strategyText(desktopStrategy(app, row_.homeMode ? Mode::Home : Mode::Auto).value()),
            QLatin1String(row_.expected));
    }

    // Which instances get a bus of their own; no false alarms for apps that never hand over
    void copyPlans_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>(
            "flags"); // 1 DBusActivatable, 2 its service file, 4 a browser, 8 no dbus-daemon
        QTest::addColumn<QString>("expected"); // own bus, hands off, named on X11, on Wayland
        QTest::newRow("GApplication with its service") << "org.example.Unique.desktop"
                                                       << "unique" << 2 << "1000";
        QTest::newRow("DBusActivatable") << "unique.desktop"
                                         << "unique" << 1 << "1000";
        QTest::newRow("a bus name as id, no service") << "org.gnome.Calculator.desktop"
                                                      << "calc" << 0 << "0000";
        QTest::newRow("a recipe's own option") << "org.xfce.mousepad.desktop"
                                               << "mousepad" << 2 << "0011";
        QTest::newRow("Kate hands files to any copy") << "org.kde.kate.desktop"
                                                      << "kate" << 0 << "1010";
        QTest::newRow("a known app that keeps its class") << "x.desktop"
                                                          << "nautilus" << 1 << "1000";
        QTest::newRow("no dbus-daemon here") << "unique.desktop"
                                             << "unique" << 9 << "0100";
        QTest::newRow("a browser keeps one copy per profile") << "org.chromium.Chromium.desktop"
                                                              << "chromium" << 5 << "0011";
    }
    void copyPlans()
    {
        QFETCH(QString, id);
        QFETCH(QString, program);
        QFETCH(int, flags);
        QFETCH(QString, expected);
        const QString share = in(QStringLiteral("share-%1")
                                     .arg(QTest::currentDataTag())
                                     .replace(QLatin1Char(' '), QLatin1Char('-')));
        if (flags & 2)
            write(
                share + QStringLiteral("/dbus-1/services/") + id.chopped(8) + QStringLiteral(".service"), "");
        const QByteArray dirs = qgetenv("XDG_DATA_DIRS"), path = qgetenv("PATH");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(share));
        if (flags & 8)
            qputenv("PATH", QFile::encodeName(in(QStringLiteral("bin"))));
        DesktopApp app;
        app.desktopId = id;
        app.program = QStringLiteral("/usr/bin/") + program;
        app.dbusActivatable = flags & 1;
        const CopyPlan plan
            = copyPlan(app, flags & 4 ? LaunchStrategy::UserDataDir : LaunchStrategy::IsolatedHome);
        qputenv("XDG_DATA_DIRS", dirs);
        qputenv("PATH", path);
        QCOMPARE(QString::number(plan.ownBus) + QString::number(plan.handsOff)
                + QString::number(plan.namedWindows) + QString::number(plan.namedOnWayland),
            expected);
    }

    void instanceExec_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QString>("expected");
        const QString udd = QStringLiteral("env BREAKPAD_DUMP_LOCATION=/d/crash XDG_CACHE_HOME=/d/cache ");
        const QString gecko = QStringLiteral("env XDG_CONFIG_HOME=/d/config XDG_CACHE_HOME=/d/cache ");
        const QString home = QStringLiteral(
            "HOME=/d/home XDG_CONFIG_HOME=/d/home/.config XDG_DATA_HOME=/d/home/.local/share "
            "XDG_CACHE_HOME=/d/home/.cache XDG_STATE_HOME=/d/home/.local/state GSETTINGS_BACKEND=keyfile ");
        QTest::newRow("Debian's chromium")
            << "/usr/bin/chromium %U" << QStringLiteral("/d")
            << udd + "/usr/bin/chromium --user-data-dir=/d/profile --class=tandrel-1 %U";
        QTest::newRow("Debian's firefox-esr") << "/usr/lib/firefox-esr/firefox-esr %u" << QStringLiteral("/d")
                                              << gecko
                + "/usr/lib/firefox-esr/firefox-esr --profile /d/profile --class tandrel-1 --name tandrel-1 "
                  "%u";
        QTest::newRow("env prefix: ours after its own")
            << "env FOO=1 prog %U" << QStringLiteral("/d") << "env FOO=1 " + home + "prog %U";
        QTest::newRow("quoted program with spaces")
            << "\"/opt/My Apps/brave\" --incognito %U" << QStringLiteral("/d")
            << udd + "\"/opt/My Apps/brave\" --user-data-dir=/d/profile --class=tandrel-1 --incognito %U";
        QTest::newRow("literal percent")
            << "vivaldi --zoom=100%% %U" << QStringLiteral("/d")
            << udd + "vivaldi --user-data-dir=/d/profile --class=tandrel-1 --zoom=100%% %U";
        QTest::newRow("AppImage") << "/home/u/Chat.AppImage %U" << QStringLiteral("/d")
                                  << "env " + home + "/home/u/Chat.AppImage %U";
        QTest::newRow("field codes in place")
            << "firefox %f %i %c %k" << QStringLiteral("/d")
            << gecko + "firefox --profile /d/profile --class tandrel-1 --name tandrel-1 %f %i %c %k";
        QTest::newRow("Gecko that ignores the XDG folders: a home too")
            << "thunderbird %u" << QStringLiteral("/d")
            << "env HOME=/d/home " + gecko.mid(4)
                + "thunderbird --profile /d/profile --class tandrel-1 --name tandrel-1 %u";
        QTest::newRow("quotes and escapes kept")
            << "firefox -P 'my own' \"a \\\"b\\\" \\$c\" %u" << QStringLiteral("/d")
            << gecko
                + "firefox --profile /d/profile --class tandrel-1 --name tandrel-1 -P \"my own\" \"a "
                  "\\\"b\\\" \\$c\" %u";
        QTest::newRow("data folder needing quotes")
            << "chromium %U" << QStringLiteral("/h/a b%c")
            << "env \"BREAKPAD_DUMP_LOCATION=/h/a b%%c/crash\" \"XDG_CACHE_HOME=/h/a b%%c/cache\" chromium "
               "\"--user-data-dir=/h/a b%%c/profile\" --class=tandrel-1 %U";
        QTest::newRow("flatpak run") << "/usr/bin/flatpak run --branch=stable org.example.App %u"
                                     << QStringLiteral("/d") << "refused";
        QTest::newRow("Snap program")
            << "env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/chat %U" << QStringLiteral("/d") << "refused";
        QTest::newRow("unbalanced quote") << "\"prog %U" << QStringLiteral("/d") << "unparsable";
        // Known apps, made copies of their own with the class their toolkit takes.
        QTest::newRow("GTK 3, unique on the bus")
            << "mousepad %U" << QStringLiteral("/d")
            << "env " + home + "mousepad --disable-server --class=tandrel-1 --name=tandrel-1 %U";
        QTest::newRow("GTK 4: named by its program name") << "gnome-text-editor %U" << QStringLiteral("/d")
                                                          << "env " + home
                + "/bin/bash -c \"exec -a \\\"\\$0\\\" \\\"\\$@\\\"\" tandrel-1 gnome-text-editor "
                  "--standalone %U";
        QTest::newRow("Qt: the instance part of the class, on a bus of its own")
            << "kate -b %U" << QStringLiteral("/d")
            << "env " + home + "/bin/sh -c " + literalExecWord(privateBusScript())
                + " /d/bus kate -name tandrel-1 -b %U";
        QTest::newRow("a lock in the temporary folder")
            << "pluma %U" << QStringLiteral("/d")
            << "env " + home + "TMPDIR=/d/tmp pluma --class=tandrel-1 --name=tandrel-1 %U";
        QTest::newRow("an X toolkit app")
            << "xterm" << QStringLiteral("/d") << "env " + home + "xterm -class tandrel-1";
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
        const std::optional<QString> result = strategy
            ? tandrel::instanceExec(exec,
                launchAdditions(*strategy, dataDir, QStringLiteral("tandrel-1"), copyPlan(app, *strategy)))
            : QStringLiteral("refused");
        QCOMPARE(result.value_or(QStringLiteral("unparsable")), expected);
    }

    // An icon file is refused from its size before anything decodes it
    void icons_boundedBeforeDecoding_data()
    {
        QTest::addColumn<qint64>("padding"); // zeros after a valid 1×1 PNG, as a sparse file
        QTest::addColumn<bool>("read");
        QTest::newRow("an icon") << qint64(0) << true;
        QTest::newRow("padded to 2 GB") << (qint64(2) << 30) << false;
    }
    void icons_boundedBeforeDecoding()
    {
        QFETCH(qint64, padding);
        QFETCH(bool, read);
        const QString icon = in(QStringLiteral("icons/big.png"));
        QImage pixel(1, 1, QImage::Format_ARGB32);
        pixel.fill(Qt::red);
        QDir().mkpath(in(QStringLiteral("icons")));
        QVERIFY(pixel.save(icon, "PNG"));
        QFile file(icon);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(file.size() + padding));
        write(in(QStringLiteral("big/big.desktop")),
            "[Desktop Entry]\nType=Application\nName=Big\nExec=big\nIcon=" + icon.toUtf8() + "\n");
        QCOMPARE(!desktopIcon(in(QStringLiteral("big/big.desktop"))).isNull(), read);
    }

    // An icon is found where the desktop finds it, at the size that suits it best
    void icons_foundAsTheDesktopFindsThem_data()
    {
        QTest::addColumn<QString>("theme"); // in use; Testy inherits Parent, which inherits Testy
        QTest::addColumn<QStringList>("files"); // under share/, each "path:colour"
        QTest::addColumn<QString>("expected"); // colour@width, empty when none is found
        QTest::newRow("a drawing in hicolor, drawn at the size asked")
            << QString() << QStringList { QStringLiteral("icons/hicolor/scalable/apps/x.svg:lime") }
            << QStringLiteral("#00ff00@256");
        QTest::newRow("the size asked for first")
            << QString()
            << QStringList { QStringLiteral("icons/hicolor/512x512/apps/x.png:red"),
                   QStringLiteral("icons/hicolor/256x256/apps/x.png:lime"),
                   QStringLiteral("icons/hicolor/48x48/apps/x.png:red") }
            << QStringLiteral("#00ff00@8");
        QTest::newRow("else a larger one")
            << QString()
            << QStringList { QStringLiteral("icons/hicolor/48x48/apps/x.png:red"),
                   QStringLiteral("icons/hicolor/512x512/apps/x.png:lime") }
            << QStringLiteral("#00ff00@8");
        QTest::newRow("else the largest smaller one")
            << QString()
            << QStringList { QStringLiteral("icons/hicolor/16x16/apps/x.png:red"),
                   QStringLiteral("icons/hicolor/48x48/apps/x.png:lime") }
            << QStringLiteral("#00ff00@8");
        QTest::newRow("the theme in use before hicolor")
            << QStringLiteral("Testy")
            << QStringList { QStringLiteral("icons/Testy/apps/64/x.png:lime"),
                   QStringLiteral("icons/hicolor/256x256/apps/x.png:red") }
            << QStringLiteral("#00ff00@8");
        QTest::newRow("then what it inherits")
            << QStringLiteral("Testy")
            << QStringList { QStringLiteral("icons/Parent/apps/64/x.png:lime"),
                   QStringLiteral("icons/hicolor/256x256/apps/x.png:red") }
            << QStringLiteral("#00ff00@8");
        QTest::newRow("a theme not in use is not searched")
            << QString()
            << QStringList { QStringLiteral("icons/Testy/apps/64/x.png:red"),
                   QStringLiteral("pixmaps/x.png:lime") }
            << QStringLiteral("#00ff00@8");
        QTest::newRow("pixmaps last")
            << QStringLiteral("Testy") << QStringList { QStringLiteral("pixmaps/x.svg:lime") }
            << QStringLiteral("#00ff00@256");
        QTest::newRow("none") << QStringLiteral("Testy")
                              << QStringList { QStringLiteral("icons/hicolor/48x48/apps/y.png:red") }
                              << QString();
    }
    void icons_foundAsTheDesktopFindsThem()
    {
        QFETCH(QString, theme);
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        const QString share = in(QStringLiteral("icons-%1").arg(QTest::currentDataTag()));
        write(share + QStringLiteral("/icons/Testy/index.theme"),
            "[Icon "
            "Theme]\nInherits=Parent\nDirectories=apps/64,apps/scalable\n[apps/64]\nSize=64\nType=Fixed\n"
            "[apps/scalable]\nSize=64\nType=Scalable\nMinSize=8\nMaxSize=512\n");
        write(share + QStringLiteral("/icons/Parent/index.theme"),
            "[Icon Theme]\nInherits=Testy,hicolor\nDirectories=apps/64\n[apps/64]\nSize=64\n");
        for (const QString &file : std::as_const(files)) {
            const QString path = share + QLatin1Char('/') + file.section(QLatin1Char(':'), 0, 0);
            const QColor colour(file.section(QLatin1Char(':'), 1));
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (path.endsWith(QStringLiteral(".svg"))) {
                write(path,
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\"><rect width=\"16\" "
                    "height=\"16\" fill=\""
                        + colour.name().toUtf8() + "\"/></svg>");
            } else {
                QImage image(8, 8, QImage::Format_ARGB32);
                image.fill(colour);
                QVERIFY(image.save(path, "PNG"));
            }
        }
        write(in(QStringLiteral("themed.desktop")), entry("Themed", "Icon=x\n"));
        const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(share));
        setIconThemeName(theme);
        const QImage icon = desktopIcon(in(QStringLiteral("themed.desktop")));
        setIconThemeName({});
        qputenv("XDG_DATA_DIRS", dirs);
        QCOMPARE(icon.isNull() ? QString()
                               : icon.pixelColor(icon.width() / 2, icon.height() / 2).name()
                    + QLatin1Char('@') + QString::number(icon.width()),
            expected);
    }

    // Programs env would misread start all the same, through the desktop's own launching
    void oddPrograms_startFromTheInstanceEntry_data()
    {
        QTest::addColumn<QString>("program"); // under bin/, which is on PATH
        QTest::addColumn<bool>("byPath"); // or by name, found on PATH
        QTest::newRow("an \"=\" in its path") << "odd=dir/app" << true;
        QTest::newRow("a name starting with \"-\"") << "-odd" << false;
    }
    void oddPrograms_startFromTheInstanceEntry()
    {
        QFETCH(QString, program);
        QFETCH(bool, byPath);
        const QString path = in(QStringLiteral("bin/") + program);
        write(path, "#!/bin/sh\ntouch \"$0.ran\"\n", true);
        write(in(QStringLiteral("odd/odd.desktop")),
            "[Desktop Entry]\nType=Application\nName=Odd\nExec="
                + (byPath ? '"' + path.toUtf8() + '"' : program.toUtf8()) + " %U\n");
        const DesktopApp app
            = readDesktopApp(in(QStringLiteral("odd/odd.desktop")), QStringLiteral("odd.desktop")).value();
        const QString id = test::newInstanceId();
        const QString entry = writeDesktopInstance(app,
            { id, QStringLiteral("W"), in(QStringLiteral("data/")) + id, {}, instanceWindowClass(id),
                LaunchStrategy::IsolatedHome },
            m_entries);
        QVERIFY(launchDesktopFile(entry));
        QTRY_VERIFY(QFileInfo::exists(path + QStringLiteral(".ran")));
    }

    // An app that ends with an error right after it starts is reported with its last words
    void earlyExit_reportedWithTheLastLines_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected"); // exit status or signal, then the lines
        QTest::newRow("an error status") << QByteArray("seq 1 20 >&2; echo 'no display' >&2; exit 3")
                                         << QStringLiteral("3/0\n14\n15\n16\n17\n18\n19\n20\nno display");
        QTest::newRow("a crash") << QByteArray("kill -SEGV $$") << QStringLiteral("0/11\n");
        QTest::newRow("a clean exit") << QByteArray("echo fine >&2") << QString();
    }
    void earlyExit_reportedWithTheLastLines()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        const QString entry = in(QStringLiteral("early/%1.desktop").arg(QTest::currentDataTag()));
        write(entry, "[Desktop Entry]\nType=Application\nName=Early\nExec=sh -c \"" + script + "\"\n");
        QString heard;
        bool ended = false;
        QVERIFY(launchDesktopFile(entry, [&](const EarlyExit &exit) {
            heard = QString::number(exit.exitCode) + QLatin1Char('/') + QString::number(exit.signal)
                + QLatin1Char('\n') + exit.lastLines;
        }));
        // A marker started after it tells when a clean exit has had time to be heard.
        write(in(QStringLiteral("early/marker.desktop")),
            "[Desktop Entry]\nType=Application\nName=Marker\nExec=sh -c \"exit 9\"\n");
        QTest::qWait(500);
        QVERIFY(launchDesktopFile(
            in(QStringLiteral("early/marker.desktop")), [&](const EarlyExit &) { ended = true; }));
        QTRY_VERIFY(ended);
        QCOMPARE(heard, expected);
    }

    // Once the watch is over the app's error output still goes somewhere: it is never
    // killed for writing into a pipe nobody reads
    void earlyExit_outputOutlivesTheWatch()
    {
        const QString marker = in(QStringLiteral("late.ran"));
        write(in(QStringLiteral("late.desktop")),
            "[Desktop Entry]\nType=Application\nName=Late\nExec=sh -c \"sleep 6; echo late >&2; touch '"
                + marker.toUtf8() + "'\"\n");
        QVERIFY(launchDesktopFile(in(QStringLiteral("late.desktop")), [](const EarlyExit &) {}));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 15000);
    }

    void writing()
    {
        const QString id = test::newInstanceId(), data = in(QStringLiteral("data/")) + id,
                      home = test::isolatedHome();
        write(data + QStringLiteral("/home/Downloads"), "mine");
        QVERIFY(
            QDir(home).mkpath(QStringLiteral("Documents")) && QDir(home).mkpath(QStringLiteral("Downloads")));
        const QString path = instance(id);
        QCOMPARE(path, m_entries + QLatin1Char('/') + instanceEntryFileName(id));
        const DesktopInstanceEntry read = readDesktopInstance(path, m_entries).value();
        // An app whose windows Tandrel cannot name gets no class that would never match.
        QCOMPARE(QStringList({ read.name, read.instanceName, read.dataDir, read.windowClass, read.targetId,
                     strategyText(read.strategy.value()) }),
            QStringList({ QStringLiteral("Editor - Work"), QStringLiteral("Work"), data, QString(),
                QStringLiteral("editor.desktop"), QStringLiteral("home") }));
        QVERIFY(read.createdAt);
        const KeyFile file = loadDesktopKeyFile(path);
        QCOMPARE(keyString(file.get(), QStringLiteral("Name[es]"))
                + keyString(file.get(), QStringLiteral("Icon"))
                + keyString(file.get(), QStringLiteral("Categories")),
            QStringLiteral("Editor de textos - Work/icons/work.pngUtility;"));
        // What the app is and its actions kept, each action started as the instance is; never
        // its file types.
        QVERIFY(!hasKey(file.get(), QStringLiteral("MimeType")));
        QCOMPARE(keyString(file.get(), QStringLiteral("GenericName[es]"))
                + keyString(file.get(), QStringLiteral("Keywords"))
                + keyString(file.get(), QStringLiteral("Actions"))
                + keyString(file.get(), QStringLiteral("Name[es]"), "Desktop Action new"),
            QStringLiteral("Editortext;new;Nuevo"));
        QVERIFY(keyString(file.get(), QStringLiteral("Exec"), "Desktop Action new")
                    .startsWith(QStringLiteral("env HOME=") + data + QStringLiteral("/home ")));
        // The desktop's own validator has nothing to say of it.
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), { path });
        QVERIFY2(validate.waitForFinished(), "desktop-file-validate (desktop-file-utils) is needed");
        QCOMPARE(QString::fromUtf8(validate.readAll()) + QString::number(validate.exitCode()),
            QStringLiteral("0"));
        // GIO takes the entry; its command is the app's with the instance's variables in front.
        QCOMPARE(desktopFileCommandLine(path).join(QLatin1Char('|')),
            QStringLiteral(
                "env|HOME=%1|XDG_CONFIG_HOME=%1/.config|XDG_DATA_HOME=%1/.local/share|XDG_CACHE_HOME=%1/"
                ".cache|XDG_STATE_HOME=%1/.local/state|GSETTINGS_BACKEND=keyfile|sh|-c|exit 0")
                .arg(data + QStringLiteral("/home")));
        // The user's folders linked where nothing was; what was there kept; nothing invented.
        QCOMPARE(QFileInfo(data + QStringLiteral("/home/Documents")).symLinkTarget(),
            home + QStringLiteral("/Documents"));
        QCOMPARE(fs::readFile(data + QStringLiteral("/home/Downloads"), 10)
                + QByteArray::number(fs::fileExists(data + QStringLiteral("/home/Desktop"))),
            QByteArray("mine0"));
        QVERIFY_THROWS_EXCEPTION(FileSystemError, instance(id));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, instance(QStringLiteral("Work")));
        // A Gecko instance: its profile folder made, the user's folder names kept.
        const QString gecko = test::newInstanceId();
        write(home + QStringLiteral("/.config/user-dirs.dirs"), "XDG_DOWNLOAD_DIR=\"$HOME/Descargas\"\n");
        instance(gecko, LaunchStrategy::GeckoProfile);
        QVERIFY(QFileInfo(in(QStringLiteral("data/%1/profile").arg(gecko))).isDir());
        QCOMPARE(QFileInfo(in(QStringLiteral("data/%1/config/user-dirs.dirs").arg(gecko))).symLinkTarget(),
            home + QStringLiteral("/.config/user-dirs.dirs"));
        DesktopApp flat = *listed(QStringLiteral("system/flat.desktop"));
        QVERIFY(!desktopStrategy(flat, Mode::Home));
        QVERIFY_THROWS_EXCEPTION(TandrelError,
            writeDesktopInstance(
                flat, { gecko, QStringLiteral("W"), data, {}, QStringLiteral("c"), {} }, m_entries));
    }

    // What counts as an instance entry, and so may be removed.
    void recognition_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("leftover"); // -1: recognised and removed
        const int ours = -1, link = int(LeftoverReason::Link),
                  notOurs = int(LeftoverReason::NotMadeByTandrel);
        QTest::newRow("written by Tandrel") << 0 << ours;
        QTest::newRow("a link to one") << 1 << link;
        QTest::newRow("one in a subfolder") << 2 << notOurs;
        QTest::newRow("marker names another id") << 3 << notOurs;
        QTest::newRow("no marker") << 4 << notOurs;
        QTest::newRow("upper-case id") << 5 << notOurs;
        QTest::newRow("entries folder reached through a link") << 6 << ours;
    }
    void recognition()
    {
        QFETCH(int, row);
        QFETCH(int, leftover);
        QDir(m_entries).removeRecursively();
        QFile::remove(in(QStringLiteral("entries-link")));
        const QString id = test::newInstanceId(),
                      other = m_entries + QLatin1Char('/') + instanceEntryFileName(test::newInstanceId());
        const QString made = instance(id), moved = in(QStringLiteral("elsewhere.desktop")),
                      sub = m_entries + QStringLiteral("/sub/") + instanceEntryFileName(id);
        const QByteArray text = fs::readFile(made, maxDesktopEntrySize);
        const QString upper = m_entries + QLatin1Char('/') + instanceEntryFileName(id.toUpper());
        const std::function<QString()> setups[] = {
            [&] { return made; },
            [&] { return QFile::rename(made, moved) && QFile::link(moved, made) ? made : QString(); },
            [&] { return write(sub, text), sub; },
            [&] { return write(other, text), other; },
            [&] { return write(other, entry("Plain")), other; },
            [&] {
                return write(upper, QByteArray(text).replace(id.toLatin1(), id.toUpper().toLatin1())), upper;
            },
            [&] { return QFile::link(m_entries, in(QStringLiteral("entries-link"))) ? made : QString(); },
        };
        const QString path = setups[row]();
        const QString folder = row == 6 ? in(QStringLiteral("entries-link")) : m_entries;
        QCOMPARE(isDesktopInstanceEntry(path, folder), leftover < 0);
        RemovalReport report;
        QCOMPARE(removeDesktopInstanceEntry(path, folder, report), leftover < 0);
        QCOMPARE(report.isComplete() ? -1 : int(report.leftovers.first().reason), leftover);
        QCOMPARE(fs::fileExists(path), leftover >= 0);
        QVERIFY(row != 1 || fs::itemKind(moved) == fs::ItemKind::File);
    }

    // Through the Store: data in $XDG_DATA_HOME/tandrel, never a ~/Library; an instance of
    // an earlier release, with its data in ~/Library, still listed and deleted whole
    void store_dataUnderTheDataHome()
    {
        const QString home = test::isolatedHome(), xdg = in(QStringLiteral("xdg"));
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(xdg));
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", saved); });
        const QString legacy
            = home + QStringLiteral("/Library/Application Support/Tandrel/") + test::newInstanceId();
        write(legacy + QStringLiteral("/home/mail.mbox"), "mail");
        write(xdg + QStringLiteral("/applications/") + instanceEntryFileName(legacy.right(36)),
            entry("Old - Work",
                QByteArray("X-Tandrel-Instance=" + legacy.right(36).toUtf8()
                    + "\nX-Tandrel-Data=" + legacy.toUtf8() + '\n')));
        Store store(QStringList { in(QStringLiteral("orig")) });
        QCOMPARE(store.apps().size(), 1);
        store.createSpace(store.apps().first(), QStringLiteral("Work"), Mode::Auto);
        QCOMPARE(store.spaces().size(), 2);
        const QList<SpaceInfo> spaces = store.spaces(); // deleting replaces the list
        for (const SpaceInfo &space : spaces) {
            const bool made = space.name == QLatin1String("Editor - Work");
            QCOMPARE(space.dataDir.value(),
                made ? xdg + QStringLiteral("/tandrel/") + space.instanceId.value() : legacy);
            QVERIFY(QFileInfo(*space.dataDir).isDir());
            QVERIFY2(store.deleteSpace(space).isComplete(), qPrintable(space.name));
            QVERIFY(!fs::fileExists(space.id()) && !fs::fileExists(*space.dataDir));
        }
        QVERIFY(store.spaces().isEmpty());
        QDir(home + QStringLiteral("/Library")).removeRecursively();
        store.createSpace(store.apps().first(), QStringLiteral("Again"), Mode::Auto);
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/Library")));
    }
};

TANDREL_GUI_TEST_MAIN(DesktopAppsTest)
#include "tst_desktopapps.moc"
