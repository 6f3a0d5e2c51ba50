// The machine's real browsers made into instances from their own desktop entries and run
// headless: the profile must land in the instance's data folder, and nothing in the home's
// .config, .cache or .mozilla; two instances side by side have their own window classes; a
// used profile survives export, delete and import byte for byte; a link routed by a rule, or
// opened in an instance, loads in that instance's profile. A browser that is not installed
// is skipped.
#include "model/desktop/DesktopInstance.h"
#include "platform/linux/DesktopLauncher.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tandrel;

namespace {

// Everything under the folders an instance must leave alone (Tandrel's own settings apart).
QStringList sharedFolders()
{
    QStringList paths;
    for (const char *folder : { "/.config", "/.cache", "/.mozilla" }) {
        QDirIterator it(test::isolatedHome() + QLatin1String(folder),
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
    }
    paths.removeIf([](const QString &path) { return path.contains(QLatin1String("/.config/Tandrel")); });
    paths.sort();
    return paths;
}

// Runs Chromium from the instance's entry, headless, to load a page and exit; true when it did.
bool runChromiumHeadless(const QString &entry)
{
    // The entry's own command as GIO expands it, made to run headless and exit by itself.
    QStringList command = desktopFileCommandLine(entry);
    command << QStringLiteral("--headless=new") << QStringLiteral("--disable-gpu")
            << QStringLiteral("--no-first-run") << QStringLiteral("--disable-background-networking")
            << QStringLiteral("--disable-component-update") << QStringLiteral("--disable-sync")
            << QStringLiteral("--dump-dom") << QStringLiteral("about:blank");
    if (::geteuid() == 0)
        command << QStringLiteral("--no-sandbox");
    QProcess browser;
    browser.setChildProcessModifier([] { ::setsid(); });
    browser.start(command.takeFirst(), command);
    if (!browser.waitForStarted())
        return false;
    const pid_t group = pid_t(browser.processId());
    const bool exited = browser.waitForFinished(90000);
    ::kill(-group, SIGKILL); // whatever it left running
    if (!exited || browser.exitCode() != 0)
        qWarning("%s", browser.readAllStandardError().right(2000).constData());
    return exited && browser.exitCode() == 0 && browser.readAllStandardOutput().contains("<body></body>");
}

// The SHA-1 of every file below the folder, by relative path.
QMap<QString, QByteArray> fileHashes(const QString &folder)
{
    QMap<QString, QByteArray> hashes;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (!QFileInfo(file.fileName()).isSymLink() && file.open(QIODevice::ReadOnly) && hash.addData(&file))
            hashes.insert(file.fileName().mid(folder.size()), hash.result().toHex());
    }
    return hashes;
}

// A web server on the loopback that answers every request with a small page and keeps the
// paths asked for.
class PageServer
{
public:
    PageServer()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(m_socket, 16) != 0
            || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            qFatal("no loopback server");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~PageServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_socket);
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    bool asked(const QString &path)
    {
        const std::lock_guard lock(m_mutex);
        return m_paths.contains(path);
    }

private:
    void serve()
    {
        while (!m_stop) {
            pollfd ready { m_socket, POLLIN, 0 };
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            const int client = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            char request[2048] = {};
            const ssize_t got = ::recv(client, request, sizeof request - 1, 0);
            const QList<QByteArray> words = QByteArray(request, qMax<ssize_t>(got, 0)).split(' ');
            {
                const std::lock_guard lock(m_mutex);
                m_paths << QString::fromLatin1(words.value(1));
            }
            const char page[]
                = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>page</body></html>";
            [[maybe_unused]] const ssize_t sent = ::send(client, page, sizeof page - 1, MSG_NOSIGNAL);
            ::close(client);
        }
    }

    int m_socket = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    std::mutex m_mutex;
    QStringList m_paths;
    std::thread m_thread;
};

// The executable, in the test's isolated home, without a display, in a session of its own:
// what it starts can be killed with its process group (`group`), and writes where no closed
// pipe ends it.
int runTandrel(const QStringList &arguments, QString *out = nullptr, pid_t *group = nullptr)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([] { ::setsid(); });
    if (group) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    process.start(QStringLiteral(TANDREL_EXECUTABLE), arguments);
    if (group)
        *group = pid_t(process.processId());
    if (!process.waitForFinished(120000))
        return -1;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (process.exitCode() != 0)
        qWarning("%s", process.readAllStandardError().constData());
    return process.exitCode();
}

// The data folder of the instance whose field of "tandrel list --json" has the value.
QString dataFolderOf(const QString &field, const QString &value)
{
    QString listed;
    runTandrel({ QStringLiteral("list"), QStringLiteral("--json") }, &listed);
    for (const QJsonValue &space : QJsonDocument::fromJson(listed.toUtf8()).array()) {
        if (space[field].toString() == value)
            return space[QStringLiteral("dataDir")].toString();
    }
    return {};
}

struct Instance
{
    QString entry, data, windowClass;
};

std::optional<Instance> makeInstance(const QString &desktopId, LaunchStrategy expected)
{
    const std::optional<DesktopApp> app
        = readDesktopApp(QStringLiteral("/usr/share/applications/") + desktopId, desktopId);
    if (!app || desktopStrategy(*app, Mode::Auto) != expected)
        return std::nullopt;
    const QString id = test::newInstanceId(), data = desktopDataRoot().value() + QLatin1Char('/') + id;
    const QString entry = writeDesktopInstance(*app,
        { id, QStringLiteral("Test"), data, {}, instanceWindowClass(id), expected },
        instanceEntriesFolder().value());
    return Instance { entry, data, instanceWindowClass(id) };
}

// A second instance beside the first: each names its own window class in its command (as
// `classWords` says) and in its entry.
void checkWindowClasses(
    const Instance &first, const QString &desktopId, LaunchStrategy strategy, const char *classWords)
{
    const Instance second = makeInstance(desktopId, strategy).value();
    QVERIFY(first.windowClass != second.windowClass);
    for (const Instance &instance : { first, second }) {
        QVERIFY(desktopFileCommandLine(instance.entry)
                    .join(QLatin1Char(' '))
                    .contains(QString::fromLatin1(classWords).arg(instance.windowClass)));
        QCOMPARE(readDesktopInstance(instance.entry, instanceEntriesFolder().value()).value().windowClass,
            instance.windowClass);
    }
}

} // namespace

class RealBrowsersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chromium()
    {
        const std::optional<Instance> instance
            = makeInstance(QStringLiteral("chromium.desktop"), LaunchStrategy::UserDataDir);
        if (!instance)
            QSKIP("Chromium is not installed (scripts/setup --browsers)");
        const QStringList before = sharedFolders();
        QVERIFY(runChromiumHeadless(instance->entry));
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/profile/Local State")).size() > 0);
        QCOMPARE(sharedFolders(), before);
        checkWindowClasses(
            *instance, QStringLiteral("chromium.desktop"), LaunchStrategy::UserDataDir, "--class=%1");
    }

    // A used profile exported, the instance deleted, then imported: the new instance has
    // the same profile files, byte for byte, and starts with them
    void chromium_exportDeleteImport()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/applications/chromium.desktop")))
            QSKIP("Chromium is not installed (scripts/setup --browsers)");
        QString entry;
        QCOMPARE(
            runTandrel({ QStringLiteral("create"), QStringLiteral("/usr/share/applications/chromium.desktop"),
                           QStringLiteral("Trip") },
                &entry),
            0);
        QVERIFY(runChromiumHeadless(entry));
        const QString data = dataFolderOf(QStringLiteral("wrapper"), entry);
        const QMap<QString, QByteArray> before = fileHashes(data + QStringLiteral("/profile"));
        QVERIFY(before.contains(QStringLiteral("/Local State")));
        const QString archive = QFileInfo(data).path() + QStringLiteral("/../trip.tar.zst");
        QCOMPARE(runTandrel({ QStringLiteral("export"), entry, archive }), 0);
        QCOMPARE(runTandrel({ QStringLiteral("delete"), entry, QStringLiteral("--yes") }), 0);
        QVERIFY(!QFileInfo::exists(data));
        QString imported;
        QCOMPARE(runTandrel({ QStringLiteral("import"), archive }, &imported), 0);
        QVERIFY(imported != entry);
        const QString newData = QFileInfo(data).path() + QLatin1Char('/')
            + QFileInfo(imported).completeBaseName().mid(QStringLiteral("tandrel-").size());
        QCOMPARE(fileHashes(newData + QStringLiteral("/profile")), before);
        QVERIFY(runChromiumHeadless(imported));
    }

    // A rule sends the site to one Chromium instance: the page loads in its profile, and
    // neither in the original's nor in the other instance's
    void chromium_routeLoadsTheLinkInTheRulesInstance()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/applications/chromium.desktop")))
            QSKIP("Chromium is not installed (scripts/setup --browsers)");
        // Chromium as the desktop lists it, made to load headless and exit by itself.
        const QString entry
            = test::isolatedHome() + QStringLiteral("/.local/share/applications/headless.desktop");
        QVERIFY(QDir().mkpath(QFileInfo(entry).path()));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[Desktop Entry]\nType=Application\nName=Headless\n"
                              "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n"
                              "Exec=/usr/bin/chromium --headless=new --disable-gpu --no-first-run "
                              "--disable-background-networking --disable-component-update --disable-sync "
                              "--no-proxy-server --dump-dom")
            + (::geteuid() == 0 ? " --no-sandbox" : "") + " %U\n");
        file.close();
        QCOMPARE(runTandrel({ QStringLiteral("create"), entry, QStringLiteral("Work") }), 0);
        QCOMPARE(runTandrel({ QStringLiteral("create"), entry, QStringLiteral("Home") }), 0);
        QCOMPARE(runTandrel({ QStringLiteral("links"), QStringLiteral("add"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("Headless - Work") }),
            0);
        const QString work = dataFolderOf(QStringLiteral("name"), QStringLiteral("Work"));
        const QString home = dataFolderOf(QStringLiteral("name"), QStringLiteral("Home"));
        const QStringList before = sharedFolders();
        PageServer server;
        pid_t group = 0;
        QCOMPARE(runTandrel({ QStringLiteral("route"), server.url(QStringLiteral("/routed?to=work")) },
                     nullptr, &group),
            0);
        const auto killGroup = qScopeGuard([group] { ::kill(-group, SIGKILL); });
        QTRY_VERIFY_WITH_TIMEOUT(server.asked(QStringLiteral("/routed?to=work")), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(work + QStringLiteral("/profile/Local State")).size() > 0, 30000);
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/profile/Local State")));
        QCOMPARE(sharedFolders(), before);
    }

    // A link opened in a Firefox instance loads in the instance's own profile
    void firefox_openLoadsTheLinkInTheInstance()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/applications/firefox-esr.desktop")))
            QSKIP("Firefox ESR is not installed (scripts/setup --browsers)");
        QString entry;
        QCOMPARE(runTandrel({ QStringLiteral("create"),
                                QStringLiteral("/usr/share/applications/firefox-esr.desktop"),
                                QStringLiteral("Reading") },
                     &entry),
            0);
        const QString data = dataFolderOf(QStringLiteral("wrapper"), entry);
        const QStringList before = sharedFolders();
        PageServer server;
        qputenv("MOZ_HEADLESS", "1");
        pid_t group = 0;
        QCOMPARE(
            runTandrel({ QStringLiteral("open"), entry, server.url(QStringLiteral("/opened?in=reading")) },
                nullptr, &group),
            0);
        const auto killGroup = qScopeGuard([group] { ::kill(-group, SIGKILL); });
        QTRY_VERIFY_WITH_TIMEOUT(server.asked(QStringLiteral("/opened?in=reading")), 90000);
        QVERIFY(QFileInfo(data + QStringLiteral("/profile/prefs.js")).size() > 0
            || QFileInfo(data + QStringLiteral("/profile/times.json")).size() > 0);
        ::kill(-group, SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(-group, 0) != 0, 20000);
        QCOMPARE(sharedFolders(), before);
    }

    void firefox()
    {
        const std::optional<Instance> instance
            = makeInstance(QStringLiteral("firefox-esr.desktop"), LaunchStrategy::GeckoProfile);
        if (!instance)
            QSKIP("Firefox ESR is not installed (scripts/setup --browsers)");
        const QStringList before = sharedFolders();
        qputenv("MOZ_HEADLESS", "1");
        // Launched by GIO from a child in a session of its own, so that everything the
        // browser starts can be killed as one process group.
        const pid_t launcher = ::fork();
        if (launcher == 0) {
            ::setsid();
            ::_exit(launchDesktopFile(instance->entry) ? 0 : 1);
        }
        QVERIFY(launcher > 0);
        const auto killGroup = qScopeGuard([launcher] { ::kill(-launcher, SIGKILL); }); // on every way out
        int status = 0;
        QVERIFY(::waitpid(launcher, &status, 0) == launcher && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const QString profile = instance->data + QStringLiteral("/profile");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(profile + QStringLiteral("/prefs.js")).size() > 0, 90000);
        QTest::qWait(3000); // what it writes after its first start-up work
        ::kill(-launcher, SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(-launcher, 0) != 0, 20000);
        QVERIFY(QFileInfo(profile + QStringLiteral("/compatibility.ini")).size() > 0);
        QVERIFY(QFileInfo(instance->data + QStringLiteral("/config/mozilla")).isDir());
        QCOMPARE(sharedFolders(), before);
        checkWindowClasses(
            *instance, QStringLiteral("firefox-esr.desktop"), LaunchStrategy::GeckoProfile, "--class %1");
    }
};

TANDREL_TEST_MAIN(RealBrowsersTest)
#include "tst_realbrowsers.moc"
