#include "platform/linux/DesktopLauncher.h"

#include <QObject>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

#include <gio/gdesktopappinfo.h>
#include <glib-unix.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

namespace tandrel {
namespace {

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, ObjectUnref>;

AppInfo load(const QString &path)
{
    return AppInfo(g_desktop_app_info_new_from_filename(path.toUtf8().constData()));
}

void appendQuoted(QByteArray &command, const char *value)
{
    if (!value)
        return;
    gchar *quoted = g_shell_quote(value);
    command += quoted;
    g_free(quoted);
}

// How long a program that ends is taken to have failed to start, and how much of its error
// output is kept for saying why.
constexpr int watchMilliseconds = 5000;
constexpr qsizetype keptOutput = 4096;
constexpr int shownLines = 8;

// Watches a program just started: its error output (read from a pipe and passed on to our
// own, the end of it kept) and its end, reaped through GLib's child watch. When the few
// seconds are over, the pipe is handed to a detached `cat` that keeps passing the output
// on, so the program never writes into a closed pipe when we quit; the watch then deletes
// itself once the program is reaped.
class StartWatch : public QObject
{
public:
    StartWatch(GPid pid, int output, EarlyExitHandler handler)
        : m_output(output)
        , m_handler(std::move(handler))
        , m_notifier(new QSocketNotifier(output, QSocketNotifier::Read, this))
    {
        ::fcntl(output, F_SETFL, ::fcntl(output, F_GETFL) | O_NONBLOCK);
        connect(m_notifier, &QSocketNotifier::activated, this, &StartWatch::read);
        QTimer::singleShot(watchMilliseconds, this, &StartWatch::handOver);
        g_child_watch_add(pid, &StartWatch::ended, this);
    }
    ~StartWatch() override { closeOutput(); }

private:
    static void ended(GPid pid, gint status, gpointer data)
    {
        g_spawn_close_pid(pid);
        auto *watch = static_cast<StartWatch *>(data);
        if (watch->m_handler) {
            watch->read();
            EarlyExit exit;
            if (WIFSIGNALED(status))
                exit.signal = WTERMSIG(status);
            else if (WIFEXITED(status))
                exit.exitCode = WEXITSTATUS(status);
            if (exit.signal || exit.exitCode) {
                exit.lastLines = watch->lastLines();
                watch->m_handler(exit);
            }
        }
        // What its children still write is passed on by `cat`.
        watch->handOver();
        watch->deleteLater();
    }

    void read()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(m_output, buffer, sizeof buffer);
            if (got > 0) {
                [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, buffer, size_t(got));
                m_kept.append(buffer, got);
                if (m_kept.size() > keptOutput)
                    m_kept.remove(0, m_kept.size() - keptOutput);
                continue;
            }
            if (got == 0 || errno != EINTR) {
                if (got == 0)
                    closeOutput();
                return;
            }
        }
    }

    QString lastLines() const
    {
        QStringList lines = QString::fromUtf8(m_kept).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines = lines.mid(qMax(0, lines.size() - shownLines));
        for (QString &line : lines) {
            line.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
            if (line.size() > 200)
                line = line.left(199) + QChar(0x2026);
        }
        return lines.join(QLatin1Char('\n'));
    }

    void handOver()
    {
        m_handler = {};
        if (m_output < 0)
            return;
        read();
        if (m_output < 0)
            return;
        // `cat` reads the way programs expect, blocking; the flag belongs to the pipe, not to us.
        ::fcntl(m_output, F_SETFL, ::fcntl(m_output, F_GETFL) & ~O_NONBLOCK);
        const char *argv[] = { "cat", nullptr };
        g_spawn_async_with_fds(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
            nullptr, nullptr, m_output, STDERR_FILENO, STDERR_FILENO, nullptr);
        closeOutput();
    }

    void closeOutput()
    {
        if (m_output < 0)
            return;
        m_notifier->setEnabled(false);
        ::close(m_output);
        m_output = -1;
    }

    int m_output = -1;
    EarlyExitHandler m_handler;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_kept;
};

void keepPid(GDesktopAppInfo *, GPid pid, gpointer data)
{
    *static_cast<GPid *>(data) = pid;
}

} // namespace

bool launchDesktopFile(const QString &path, const EarlyExitHandler &onEarlyExit, const QStringList &uris)
{
    const AppInfo info = load(path);
    if (!info)
        return false;
    std::unique_ptr<GAppLaunchContext, ObjectUnref> context(g_app_launch_context_new());
    // GIO puts each URI in one word of the command as the Exec's field codes say.
    QList<QByteArray> uriBytes;
    GList *uriList = nullptr;
    for (const QString &uri : uris)
        uriBytes.append(uri.toUtf8());
    for (auto it = uriBytes.crbegin(); it != uriBytes.crend(); ++it)
        uriList = g_list_prepend(uriList, const_cast<char *>(it->constData()));
    const auto freeList = qScopeGuard([uriList] { g_list_free(uriList); });
    GError *error = nullptr;
    int pipe[2] = { -1, -1 };
    if (!onEarlyExit || !g_unix_open_pipe(pipe, FD_CLOEXEC, nullptr)) {
        const bool launched = g_app_info_launch_uris(G_APP_INFO(info.get()), uriList, context.get(), &error);
        g_clear_error(&error);
        return launched;
    }
    GPid pid = 0;
    const bool launched = g_desktop_app_info_launch_uris_as_manager_with_fds(info.get(), uriList,
        context.get(), GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
        keepPid, &pid, -1, -1, pipe[1], &error);
    g_clear_error(&error);
    ::close(pipe[1]);
    if (!launched || pid <= 0) { // an entry started over D-Bus has no process of ours to watch
        ::close(pipe[0]);
        return launched;
    }
    new StartWatch(pid, pipe[0], onEarlyExit);
    return true;
}

QStringList desktopFileCommandLine(const QString &path)
{
    const AppInfo info = load(path);
    const char *exec = info ? g_app_info_get_commandline(G_APP_INFO(info.get())) : nullptr;
    if (!exec)
        return {};
    // The field codes as GIO expands them with no files: the file and URL codes vanish,
    // %i, %c and %k become the icon option, the name and the entry's path, quoted.
    QByteArray command;
    for (const char *c = exec; *c; ++c) {
        if (*c != '%' || !c[1]) {
            command += *c;
            continue;
        }
        switch (*++c) {
        case '%':
            command += '%';
            break;
        case 'i': {
            gchar *icon = g_desktop_app_info_get_string(info.get(), "Icon");
            if (icon && *icon) {
                command += "--icon ";
                appendQuoted(command, icon);
            }
            g_free(icon);
            break;
        }
        case 'c':
            appendQuoted(command, g_app_info_get_name(G_APP_INFO(info.get())));
            break;
        case 'k':
            appendQuoted(command, g_desktop_app_info_get_filename(info.get()));
            break;
        default:
            break;
        }
    }
    gint count = 0;
    gchar **argv = nullptr;
    QStringList words;
    if (g_shell_parse_argv(command.constData(), &count, &argv, nullptr)) {
        for (gint i = 0; i < count; ++i)
            words << QString::fromUtf8(argv[i]);
        g_strfreev(argv);
    }
    return words;
}

} // namespace tandrel
