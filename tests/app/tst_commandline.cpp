// The command line through the real executable, without a display: usage errors,
// refusals, the JSON it prints, and a create → list → open → delete round trip. The
// operations themselves are the model's, tested there.
#include "formats/MachOSignature.h"
#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace tandrel;
using namespace tandrel::test;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The executable with HOME (and the XDG folders) in `home`, no display, no terminal.
Run run(const QStringList &arguments, const QString &home = isolatedHome())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QLatin1String(variable));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(TANDREL_EXECUTABLE), arguments);
    if (!process.waitForFinished(60000))
        return {};
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}

// A desktop app of the isolated home's own, for instances on the desktop road.
bool writeSketchEntry()
{
    const QString sketch = isolatedHome() + QStringLiteral("/.local/share/applications/sketch.desktop");
    QDir().mkpath(QFileInfo(sketch).path());
    QFile entry(sketch);
    return entry.open(QIODevice::WriteOnly)
        && entry.write("[Desktop Entry]\nType=Application\nName=Sketch\nExec=/bin/true\n") > 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

    QString m_apps;

private Q_SLOTS:
    void initTestCase()
    {
        m_apps = isolatedHome() + QStringLiteral("/Applications");
        FakeBundleOptions browser;
        browser.identifier = QStringLiteral("com.google.Chrome");
        makeFakeBundle(m_apps, QStringLiteral("Browser"), browser);
        makeFakeBundle(m_apps, QStringLiteral("Notes"));
        FakeBundleOptions locked;
        ThinOptions thin;
        thin.cpuType = quint32(hostCpu());
        thin.entitlements = entitlementsXml(SandboxValue::True);
        locked.executableBytes = buildThin(thin);
        makeFakeBundle(m_apps, QStringLiteral("Locked"), locked);
    }

    void statusAndMessages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("inError"); // a word the message must hold
        QTest::newRow("unknown command") << QStringList { "bogus" } << 2 << "bogus";
        QTest::newRow("unknown option") << QStringList { "apps", "--colour" } << 2 << "\"--colour\"";
        QTest::newRow("unknown short option") << QStringList { "list", "-x" } << 2 << "\"-x\"";
        QTest::newRow("an option of another command")
            << QStringList { "list", "--apps", "/x" } << 2 << "--apps";
        QTest::newRow("missing operand") << QStringList { "create", "Notes" } << 2 << "create";
        QTest::newRow("an unknown mode")
            << QStringList { "create", "Notes", "Work", "--mode", "fast" } << 2 << "--mode";
        QTest::newRow("an unknown language") << QStringList { "--lang", "fr", "list" } << 2 << "--lang";
        QTest::newRow("options without a command") << QStringList { "--json" } << 2 << "tandrel --help";
        QTest::newRow("a sandboxed app") << QStringList { "create", "Locked", "Work" } << 1 << "Locked";
        QTest::newRow("an app that is not there")
            << QStringList { "create", "Nowhere", "Work" } << 1 << "Nowhere";
        QTest::newRow("a name with a line break") << QStringList { "create", "Notes", "Wo\nrk" } << 1 << "";
        QTest::newRow("an instance that is not there") << QStringList { "open", "Nothing" } << 1 << "Nothing";
        QTest::newRow("stopping one that is not there")
            << QStringList { "stop", "Nothing" } << 1 << "Nothing";
        QTest::newRow("--stop for another command") << QStringList { "list", "--stop" } << 2 << "--stop";
    }
    void statusAndMessages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, inError);
        const Run english = run(QStringList { "--lang", "en" } + arguments);
        const Run spanish = run(QStringList { "--lang", "es" } + arguments);
        QCOMPARE(english.status, status);
        QCOMPARE(spanish.status, status);
        QVERIFY(english.out.isEmpty());
        QVERIFY2(english.err.contains(inError), qPrintable(english.err));
        QVERIFY2(english.err.startsWith(QLatin1String("tandrel: ")), qPrintable(english.err));
        // One line (and a hint for usage errors), in the language asked for.
        QCOMPARE(english.err.count(QLatin1Char('\n')), status == 2 ? 2 : 1);
        if (!arguments.contains(QStringLiteral("fr")))
            QVERIFY(english.err != spanish.err);
        QVERIFY(!QFileInfo::exists(Store::spacesDir()));
    }

    void help_inTheLanguageAskedFor()
    {
        const Run english = run({ "--lang", "en", "--help" });
        const Run spanish = run({ "--help", "--lang", "es" });
        QCOMPARE(english.status, 0);
        for (const char *command :
            { "apps", "list", "create", "open", "delete", "--json", "--yes", "--mode" })
            QVERIFY2(
                english.out.contains(QLatin1String(command)) && spanish.out.contains(QLatin1String(command)),
                command);
        QVERIFY(english.out != spanish.out);
        QCOMPARE(run({ "-h", "--lang", "en" }).out, english.out);
        const Run version = run({ "-V", "--lang", "en" });
        QCOMPARE(version.out.section(QLatin1Char('\n'), 0, 0), QStringLiteral("tandrel " TANDREL_VERSION));
        QVERIFY(version.out.contains(QLatin1String("MIT License")));
    }

    void apps_json()
    {
        const Run listed = run({ "apps", "--json", "--apps", m_apps });
        QCOMPARE(listed.status, 0);
        const QJsonArray apps = QJsonDocument::fromJson(listed.out.toUtf8()).array();
        QCOMPARE(apps.size(), 3);
        QHash<QString, QJsonObject> byName;
        for (const QJsonValue &app : apps) {
            const QJsonObject object = app.toObject();
            QVERIFY(object.value(QStringLiteral("path")).toString().startsWith(m_apps));
            QVERIFY(object.value(QStringLiteral("sandboxed")).isBool());
            byName.insert(object.value(QStringLiteral("name")).toString(), object);
        }
        QCOMPARE(byName.value(QStringLiteral("Browser")).value(QStringLiteral("mode")).toString(),
            QStringLiteral("udd"));
        QCOMPARE(byName.value(QStringLiteral("Browser")).value(QStringLiteral("bundleId")).toString(),
            QStringLiteral("com.google.Chrome"));
        QCOMPARE(byName.value(QStringLiteral("Notes")).value(QStringLiteral("mode")).toString(),
            QStringLiteral("home"));
        QVERIFY(byName.value(QStringLiteral("Locked")).value(QStringLiteral("sandboxed")).toBool());
        QVERIFY(byName.value(QStringLiteral("Locked")).value(QStringLiteral("mode")).isNull());
    }

    // Without --apps, the default folders: the home's Applications and, on Linux, the
    // desktop's own entries: the real browsers, and a Flatpak and a Snap app refused.
    void apps_defaultFoldersHoldTheDesktopsApps()
    {
#if defined(Q_OS_MACOS)
        QSKIP("desktop entries are a Linux affair");
#endif
        const QString flatpak
            = isolatedHome() + QStringLiteral("/.local/share/flatpak/exports/share/applications");
        const QString user = isolatedHome() + QStringLiteral("/.local/share/applications");
        QDir().mkpath(flatpak);
        QDir().mkpath(user);
        const auto entry = [](const QString &path, const QByteArray &extra) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nName=" + QFileInfo(path).baseName().toUtf8()
                + "\nExec=/bin/true %U\n" + extra);
        };
        entry(flatpak + QStringLiteral("/org.example.Boxed.desktop"), "X-Flatpak=org.example.Boxed\n");
        entry(user + QStringLiteral("/snapped.desktop"), "X-SnapInstanceName=snapped\n");
        entry(user + QStringLiteral("/org.example.Unique.desktop"), "DBusActivatable=true\n");
        QHash<QString, QJsonObject> byId;
        for (const QJsonValue &app : QJsonDocument::fromJson(run({ "apps", "--json" }).out.toUtf8()).array())
            byId.insert(app.toObject().value(QStringLiteral("bundleId")).toString(), app.toObject());
        QVERIFY(byId.contains(QStringLiteral("com.google.Chrome"))); // the home's bundles stay
        QVERIFY(byId.value(QStringLiteral("org.example.Boxed.desktop"))
                    .value(QStringLiteral("sandboxed"))
                    .toBool());
        QVERIFY(byId.value(QStringLiteral("snapped.desktop")).value(QStringLiteral("sandboxed")).toBool());
        // An app that hands over to its running copy: the sheet's notice, as a field and on creating.
        const QString notice = byId.value(QStringLiteral("org.example.Unique.desktop"))
                                   .value(QStringLiteral("notice"))
                                   .toString();
        QVERIFY(!notice.isEmpty());
        QVERIFY(byId.value(QStringLiteral("snapped.desktop")).value(QStringLiteral("notice")).isNull());
        const Run created = run({ "create", user + QStringLiteral("/org.example.Unique.desktop"), "Work" });
        QCOMPARE(created.status, 0);
        QCOMPARE(created.err.trimmed(), notice);
        QCOMPARE(run({ "delete", created.out.trimmed(), "--yes" }).status, 0);
        if (QFileInfo::exists(QStringLiteral("/usr/share/applications/chromium.desktop")))
            QCOMPARE(byId.value(QStringLiteral("chromium.desktop")).value(QStringLiteral("mode")).toString(),
                QStringLiteral("udd"));
        if (QFileInfo::exists(QStringLiteral("/usr/share/applications/firefox-esr.desktop")))
            QCOMPARE(
                byId.value(QStringLiteral("firefox-esr.desktop")).value(QStringLiteral("mode")).toString(),
                QStringLiteral("gecko"));
    }

    void createListOpenDelete()
    {
        const Run created = run({ "create", m_apps + QStringLiteral("/Notes.app"), "Work" });
        QCOMPARE(created.status, 0);
        const QString wrapper = created.out.trimmed();
        QCOMPARE(wrapper, Store::spacesDir() + QStringLiteral("/Notes - Work.app"));

        const QJsonArray listed = QJsonDocument::fromJson(run({ "list", "--json" }).out.toUtf8()).array();
        QCOMPARE(listed.size(), 1);
        const QJsonObject space = listed.first().toObject();
        QCOMPARE(space.value(QStringLiteral("displayName")).toString(), QStringLiteral("Notes - Work"));
        QCOMPARE(space.value(QStringLiteral("name")).toString(), QStringLiteral("Work"));
        QCOMPARE(space.value(QStringLiteral("wrapper")).toString(), wrapper);
        QCOMPARE(space.value(QStringLiteral("mode")).toString(), QStringLiteral("home"));
        const QString id = space.value(QStringLiteral("id")).toString();
        QCOMPARE(
            space.value(QStringLiteral("dataDir")).toString(), Store::dataRoot() + QLatin1Char('/') + id);
        QVERIFY(!space.value(QStringLiteral("createdAt")).toString().isEmpty());

        // Drawn as the window draws it: the command line runs with the GUI it needs for that.
        QVERIFY(QFileInfo(wrapper + QStringLiteral("/Contents/Resources/app.icns")).size() > 1000);
        QCOMPARE(run({ "open", id }).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(launchRecordPath(m_apps + QStringLiteral("/Notes.app"))), 20000);

        // Without a terminal, deleting needs --yes.
        QCOMPARE(run({ "delete", "Notes - Work" }).status, 2);
        QVERIFY(QFileInfo::exists(wrapper));
        QCOMPARE(run({ "delete", wrapper, "--yes" }).status, 0);
        QVERIFY(!QFileInfo::exists(wrapper));
        QVERIFY(!QFileInfo::exists(Store::dataRoot() + QLatin1Char('/') + id));
        QCOMPARE(QJsonDocument::fromJson(run({ "list", "--json" }).out.toUtf8()).array().size(), 0);
    }

    // Renaming and a new badge keep the id and the data; the name follows the rules of
    // creating; two instances of one app start with different colours
    void rename_keepsTheIdAndTheData_data()
    {
        QTest::addColumn<QString>("app"); // relative to the home
        QTest::addColumn<QString>("displayed"); // the app's name as instances carry it
        QTest::newRow("a bundle") << "Applications/Notes.app"
                                  << "Notes";
        QTest::newRow("a desktop entry") << ".local/share/applications/sketch.desktop"
                                         << "Sketch";
    }
    void rename_keepsTheIdAndTheData()
    {
        QFETCH(QString, app);
        QFETCH(QString, displayed);
        QVERIFY(writeSketchEntry());
        const QString path = isolatedHome() + QLatin1Char('/') + app;
        QCOMPARE(run({ "create", path, "Other" }).status, 0);
        const QString old = run({ "create", path, "Work" }).out.trimmed();
        const auto listed = [&displayed](const QString &name) {
            for (const QJsonValue &space :
                QJsonDocument::fromJson(run({ "list", "--json" }).out.toUtf8()).array()) {
                if (space[QStringLiteral("displayName")].toString()
                    == displayed + QStringLiteral(" - ") + name)
                    return space.toObject();
            }
            return QJsonObject();
        };
        const QJsonObject before = listed(QStringLiteral("Work"));
        const QString data = before[QStringLiteral("dataDir")].toString();
        QVERIFY(QDir().mkpath(data + QStringLiteral("/home/kept")));

        QCOMPARE(run({ "rename", old, "Other" }).status, 1); // taken
        QCOMPARE(run({ "rename", old, "  " }).status, 1);
        const Run renamed = run({ "rename", old, "Home" });
        QCOMPARE(renamed.status, 0);
        const QJsonObject after = listed(QStringLiteral("Home"));
        QCOMPARE(after[QStringLiteral("id")], before[QStringLiteral("id")]);
        QCOMPARE(after[QStringLiteral("dataDir")].toString(), data);
        QCOMPARE(after[QStringLiteral("wrapper")].toString(), renamed.out.trimmed());
        QVERIFY(listed(QStringLiteral("Work")).isEmpty());
        QVERIFY(QFileInfo(data + QStringLiteral("/home/kept")).isDir());
        QVERIFY(renamed.out.trimmed() == old || !QFileInfo::exists(old));

        const auto badge
            = [&](const QString &name) { return listed(name)[QStringLiteral("badge")].toObject(); };
        QCOMPARE(badge(QStringLiteral("Other"))[QStringLiteral("color")].toString(), QStringLiteral("blue"));
        QCOMPARE(badge(QStringLiteral("Home"))[QStringLiteral("color")].toString(), QStringLiteral("purple"));
        const QString wrapper = renamed.out.trimmed();
        const QString icon = QFileInfo::exists(wrapper + QStringLiteral("/Contents/Resources/app.icns"))
            ? wrapper + QStringLiteral("/Contents/Resources/app.icns")
            : data + QStringLiteral("/icon.png");
        const QByteArray iconBefore = readAll(icon);
        QCOMPARE(run({ "badge", wrapper, "--color", "nope" }).status, 2);
        QCOMPARE(run({ "badge", wrapper, "--label", "ABC" }).status, 2);
        const Run badged = run({ "badge", wrapper, "--color", "#FFD60A", "--label", "W2" });
        QVERIFY2(badged.status == 0, qPrintable(badged.err));
        QCOMPARE(badged.out.trimmed(), wrapper); // replaced in place, a bundle's folder included
        QCOMPARE(badge(QStringLiteral("Home")),
            QJsonObject({ { "color", "#ffd60a" }, { "label", "W2" }, { "image", false } }));
        QVERIFY(readAll(icon) != iconBefore);
        QCOMPARE(listed(QStringLiteral("Home"))[QStringLiteral("id")], before[QStringLiteral("id")]);
        QVERIFY(QFileInfo(data + QStringLiteral("/home/kept")).isDir());
        // A later rename keeps the badge.
        QCOMPARE(run({ "rename", wrapper, "Casa" }).status, 0);
        QCOMPARE(badge(QStringLiteral("Casa"))[QStringLiteral("label")].toString(), QStringLiteral("W2"));
        QCOMPARE(
            run({ "rename", listed(QStringLiteral("Casa"))[QStringLiteral("wrapper")].toString(), "Home" })
                .status,
            0);
        // Nothing staged is left beside the launchers or the data.
        for (const QString &folder : { QFileInfo(old).path(), QFileInfo(data).path() })
            QCOMPARE(QDir(folder).entryList(
                         { QStringLiteral(".tandrel-*") }, QDir::AllEntries | QDir::Hidden | QDir::System),
                QStringList());
        for (const QString &name : { QStringLiteral("Home"), QStringLiteral("Other") })
            QCOMPARE(
                run({ "delete", listed(name)[QStringLiteral("wrapper")].toString(), "--yes" }).status, 0);
    }

    // An instance exported, deleted and imported, and duplicated, keeps its data; each is
    // refused while it runs, and an import never takes a name in use
    void exportImportDuplicate_data()
    {
        rename_keepsTheIdAndTheData_data();
    }
    void exportImportDuplicate()
    {
        QFETCH(QString, app);
        QFETCH(QString, displayed);
        QVERIFY(writeSketchEntry());
        const QString wrapper
            = run({ "create", isolatedHome() + QLatin1Char('/') + app, "Trip" }).out.trimmed();
        const auto dataOf = [](const QString &name) {
            for (const QJsonValue &space :
                QJsonDocument::fromJson(run({ "list", "--json" }).out.toUtf8()).array()) {
                if (space[QStringLiteral("displayName")].toString().endsWith(QStringLiteral(" - ") + name))
                    return space[QStringLiteral("dataDir")].toString();
            }
            return QString();
        };
        const QString data = dataOf(QStringLiteral("Trip"));
        QVERIFY(QDir().mkpath(data + QStringLiteral("/home/.hidden")));
        QFile kept(data + QStringLiteral("/home/.hidden/kept"));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept") == 4);
        kept.close();
        const QString archive = isolatedHome() + QStringLiteral("/%1.tar.zst").arg(displayed);

        QProcess running;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), data + QStringLiteral("/home"));
        running.setProcessEnvironment(environment);
        running.start(QStringLiteral("sleep"), { QStringLiteral("60") });
        QVERIFY(running.waitForStarted());
        QCOMPARE(run({ "export", wrapper, archive }).status, 1);
        QCOMPARE(run({ "duplicate", wrapper, "Copy" }).status, 1);
        running.kill();
        running.waitForFinished();
        QVERIFY(!QFileInfo::exists(archive));

        const Run exported = run({ "export", wrapper, archive });
        QVERIFY2(exported.status == 0, qPrintable(exported.err));
        QCOMPARE(run({ "export", wrapper, archive }).status, 1); // never over a file
        QCOMPARE(run({ "import", archive }).status, 1); // "Trip" is in use
        QCOMPARE(run({ "duplicate", wrapper, "Copy" }).status, 0);
        QCOMPARE(run({ "delete", wrapper, "--yes" }).status, 0);
        QCOMPARE(run({ "import", archive }).status, 0);
        QCOMPARE(run({ "import", archive, "--name", "Again" }).status, 0);
        for (const QString &name :
            { QStringLiteral("Trip"), QStringLiteral("Copy"), QStringLiteral("Again") }) {
            QFile copy(dataOf(name) + QStringLiteral("/home/.hidden/kept"));
            QVERIFY2(copy.open(QIODevice::ReadOnly) && copy.readAll() == "kept", qPrintable(name));
            QVERIFY(dataOf(name) != data || name == QLatin1String("Trip"));
        }
        QCOMPARE(
            QDir(QFileInfo(wrapper).path())
                .entryList({ QStringLiteral(".tandrel-*") }, QDir::AllEntries | QDir::Hidden | QDir::System),
            QStringList());
        for (const QString &name :
            { QStringLiteral("Trip"), QStringLiteral("Copy"), QStringLiteral("Again") })
            QCOMPARE(run({ "delete", displayed + QStringLiteral(" - ") + name, "--yes" }).status, 0);
    }

    // A running instance is listed as running; deleting it is refused unless it is stopped
    // first, and its data stays until then
    void running_listedStoppedAndNeverDeletedUnder()
    {
        const QString wrapper
            = run({ "create", m_apps + QStringLiteral("/Notes.app"), "Busy" }).out.trimmed();
        const QString data
            = QJsonDocument::fromJson(run({ "list", "--json" }).out.toUtf8())[0][QStringLiteral("dataDir")]
                  .toString();
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), data + QStringLiteral("/home"));
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral("sh"), { QStringLiteral("-c"), QStringLiteral("sleep 60; :") });
        QVERIFY(app.waitForStarted());
        const QJsonObject listed
            = QJsonDocument::fromJson(run({ "list", "--json" }).out.toUtf8())[0].toObject();
        QCOMPARE(listed.value(QStringLiteral("running")).toBool(), true);
        QVERIFY(listed.value(QStringLiteral("pids")).toArray().contains(app.processId()));
        QVERIFY(listed.value(QStringLiteral("bytes")).toDouble() > 0); // its record and icon at least
        const Run refused = run({ "--lang", "en", "delete", wrapper, "--yes" });
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("running")), qPrintable(refused.err));
        QVERIFY(QFileInfo::exists(data) && QFileInfo::exists(wrapper));
        QCOMPARE(run({ "delete", wrapper, "--yes", "--stop" }).status, 0);
        QVERIFY(app.waitForFinished(10000));
        QVERIFY(!QFileInfo::exists(data) && !QFileInfo::exists(wrapper));
    }

    // Rules send each link to its instance through the instance's own launch, as one word
    // and never through a shell; rules go with a deleted instance; no rule and no display
    // is exit 1; the link handler gives links back to the browser they went to before
    void links_routedByRulesAndHandedBack()
    {
        const QString home = isolatedHome() + QStringLiteral("/links");
        const QString apps = home + QStringLiteral("/.local/share/applications");
        const QString log = home + QStringLiteral("/opened.log");
        QVERIFY(QDir().mkpath(apps));
        QFile script(home + QStringLiteral("/surf"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s\\n' \"$HOME\" \"$#\" \"$*\" >> '%1'\n")
                         .arg(log)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile entry(apps + QStringLiteral("/surf.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Surf\nExec=%1 %U\n"
                                   "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n")
                        .arg(script.fileName())
                        .toUtf8());
        entry.close();
        QVERIFY(QDir().mkpath(home + QStringLiteral("/.config")));
        QFile associations(home + QStringLiteral("/.config/mimeapps.list"));
        QVERIFY(associations.open(QIODevice::WriteOnly));
        associations.write("[Default Applications]\nx-scheme-handler/https=surf.desktop\n");
        associations.close();
        const auto data = [&home](const QString &name) {
            for (const QJsonValue &space :
                QJsonDocument::fromJson(run({ "list", "--json" }, home).out.toUtf8()).array()) {
                if (space[QStringLiteral("name")].toString() == name)
                    return space[QStringLiteral("dataDir")].toString();
            }
            return QString();
        };
        QCOMPARE(run({ "create", "Surf", "Work" }, home).status, 0);
        QCOMPARE(run({ "create", "Surf", "Home" }, home).status, 0);
        QCOMPARE(run({ "links", "add", "example.com", "Surf - Work" }, home).status, 0);
        QCOMPARE(run({ "links", "add", "*.mail.example.com", "Surf - Home" }, home).status, 0);
        QCOMPARE(run({ "links", "add", "other.org", "Surf", "--exact" }, home).status, 0);
        QCOMPARE(run({ "links", "add", "bad/site", "Surf" }, home).status, 2);
        QCOMPARE(run({ "links", "add", "a.org", "Nothing" }, home).status, 1);

        const QString hostile = QStringLiteral("https://www.example.com/$(touch pwned) `id`;x");
        QCOMPARE(run({ "route", hostile }, home).status, 0);
        QCOMPARE(run({ "route", "https://a.mail.example.com/inbox" }, home).status, 0);
        QCOMPARE(run({ "route", "http://other.org/" }, home).status, 0);
        const Run none = run({ "--lang", "en", "route", "https://www.other.org/secret-token" }, home);
        QCOMPARE(none.status, 1);
        QVERIFY(!none.err.contains(QStringLiteral("secret-token"))); // a link is never printed
        QCOMPARE(run({ "route", "file:///etc/passwd" }, home).status, 2);
        QCOMPARE(run({ "open", "Surf - Home", "https://a.example/", "https://b.example/" }, home).status, 0);
        QCOMPARE(run({ "open", "Surf - Home", "javascript:alert(1)" }, home).status, 2);
        const QStringList expected { data(QStringLiteral("Work")) + QStringLiteral("/home|1|")
                + QUrl(hostile).toString(QUrl::FullyEncoded),
            data(QStringLiteral("Home")) + QStringLiteral("/home|1|https://a.mail.example.com/inbox"),
            QStringLiteral("%1|1|http://other.org/").arg(home),
            data(QStringLiteral("Home")) + QStringLiteral("/home|2|https://a.example/ https://b.example/") };
        QTRY_COMPARE(QString::fromUtf8(readAll(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/pwned")));

        QCOMPARE(run({ "links", "remove", "other.org" }, home).status, 0);
        QCOMPARE(run({ "links", "remove", "other.org" }, home).status, 1);
        const QString homeId = QFileInfo(data(QStringLiteral("Home"))).fileName();
        QCOMPARE(run({ "delete", "Surf - Home", "--yes" }, home).status, 0);
        QVERIFY(!readAll(home + QStringLiteral("/.config/Tandrel/links.json")).contains(homeId.toUtf8()));
        const QJsonArray rules
            = QJsonDocument::fromJson(run({ "links", "list", "--json" }, home).out.toUtf8()).array();
        QCOMPARE(rules.size(), 1);
        QCOMPARE(rules[0][QStringLiteral("site")].toString(), QStringLiteral("example.com"));
        QCOMPARE(rules[0][QStringLiteral("targetName")].toString(), QStringLiteral("Surf - Work"));

        QCOMPARE(run({ "links", "handler" }, home).out.trimmed(), QStringLiteral("off"));
        QCOMPARE(run({ "links", "handler", "on" }, home).status, 0);
        QCOMPARE(run({ "links", "handler" }, home).out.trimmed(), QStringLiteral("on"));
        const QString handlerEntry = apps + QStringLiteral("/io.tandrel.TandrelLinks.desktop");
        QVERIFY(readAll(handlerEntry).contains(" route %u"));
        // The user picks another browser for http meanwhile: that choice stays.
        QFile::copy(entry.fileName(), apps + QStringLiteral("/other.desktop"));
        QVERIFY(associations.open(QIODevice::ReadWrite));
        const QByteArray chosen
            = associations.readAll().replace("x-scheme-handler/http=io.tandrel.TandrelLinks.desktop\n",
                "x-scheme-handler/http=other.desktop\n");
        QVERIFY(associations.resize(0) && associations.write(chosen) > 0);
        associations.close();
        QCOMPARE(run({ "links", "handler", "off" }, home).status, 0);
        QCOMPARE(run({ "links", "handler" }, home).out.trimmed(), QStringLiteral("off"));
        const QByteArray defaults
            = readAll(associations.fileName()).split('[').value(1); // [Default Applications]
        QVERIFY(defaults.contains("x-scheme-handler/https=surf.desktop") && !defaults.contains("io.tandrel"));
        QVERIFY(defaults.contains("x-scheme-handler/http=other.desktop"));
        QVERIFY(!QFileInfo::exists(handlerEntry));
    }
};

TANDREL_GUI_TEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
