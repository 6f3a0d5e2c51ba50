#include "platform/Processes.h"

#include <QByteArray>
#include <QSet>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

namespace tandrel {
namespace {

// A command line or an environment is a few kilobytes; a process is not allowed to make
// the scan slow by having a huge one, so only its start is read.
constexpr qsizetype maxProcFile = 256 * 1024;

QByteArray readProcFile(qint64 pid, const char *name)
{
    const QByteArray path = "/proc/" + QByteArray::number(pid) + '/' + name;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes;
    char buffer[16384];
    while (bytes.size() < maxProcFile) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    ::close(fd);
    return bytes;
}

QList<qint64> processIds()
{
    QList<qint64> pids;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return pids;
    while (const dirent *entry = ::readdir(proc)) {
        bool number = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&number);
        if (number && pid > 0)
            pids << pid;
    }
    ::closedir(proc);
    return pids;
}

// The parent and whether the process is only a zombie, from /proc/<pid>/stat; the command
// name in parentheses may hold anything, so the fields are read after the last ')'.
struct ProcessState
{
    qint64 parent = 0;
    bool zombie = false;
};

std::optional<ProcessState> stateOf(qint64 pid)
{
    const QByteArray stat = readProcFile(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 2)
        return std::nullopt;
    return ProcessState { fields[1].toLongLong(), fields[0] == "Z" || fields[0] == "X" };
}

bool alive(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    const std::optional<ProcessState> state = stateOf(pid);
    return state && !state->zombie;
}

// The processes and all their descendants still alive, without this process, its
// ancestors and pid 1.
QSet<qint64> withDescendants(const QList<qint64> &pids)
{
    QHash<qint64, QList<qint64>> children;
    for (const qint64 pid : processIds()) {
        if (const std::optional<ProcessState> state = stateOf(pid); state && !state->zombie)
            children[state->parent] << pid;
    }
    QSet<qint64> spared { 1 };
    for (qint64 pid = ::getpid(); pid > 1;) {
        spared << pid;
        const std::optional<ProcessState> state = stateOf(pid);
        pid = state ? state->parent : 0;
    }
    QSet<qint64> all;
    QList<qint64> pending = pids;
    while (!pending.isEmpty()) {
        const qint64 pid = pending.takeLast();
        if (spared.contains(pid) || all.contains(pid) || !alive(pid))
            continue;
        all << pid;
        pending << children.value(pid);
    }
    return all;
}

bool waitForEnd(QSet<qint64> &pids, std::chrono::milliseconds grace)
{
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        pids.removeIf([](qint64 pid) { return !alive(pid); });
        if (pids.isEmpty() || std::chrono::steady_clock::now() >= deadline)
            return pids.isEmpty();
        QThread::msleep(50);
    }
}

} // namespace

QHash<QString, QList<qint64>> processesUsing(const QStringList &folders)
{
    // Folders grouped by the folder that holds them: a text names one when it holds
    // "<parent>/<name>" ending there, or followed by '/' or ':' (as in PATH).
    QHash<QByteArray, QHash<QByteArray, QString>> byParent;
    for (const QString &folder : folders) {
        const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
        if (slash > 0 && slash + 1 < folder.size())
            byParent[folder.left(slash + 1).toUtf8()].insert(folder.mid(slash + 1).toUtf8(), folder);
    }
    QHash<QString, QList<qint64>> found;
    if (byParent.isEmpty())
        return found;
    const qint64 self = ::getpid();
    for (const qint64 pid : processIds()) {
        if (pid == self)
            continue;
        QSet<QString> named;
        for (const char *file : { "cmdline", "environ" }) {
            const QByteArray text = readProcFile(pid, file);
            for (auto parent = byParent.cbegin(); parent != byParent.cend(); ++parent) {
                for (qsizetype at = text.indexOf(parent.key()); at >= 0;
                     at = text.indexOf(parent.key(), at + 1)) {
                    const qsizetype start = at + parent.key().size();
                    qsizetype end = start;
                    while (end < text.size() && text[end] != '/' && text[end] != ':' && text[end] != '\0')
                        ++end;
                    const auto folder = parent->constFind(text.mid(start, end - start));
                    if (folder != parent->cend())
                        named << *folder;
                }
            }
        }
        for (const QString &folder : std::as_const(named))
            found[folder] << pid;
    }
    return found;
}

bool endProcesses(const QList<qint64> &pids, std::chrono::milliseconds grace)
{
    QSet<qint64> ending = withDescendants(pids);
    for (const qint64 pid : std::as_const(ending))
        ::kill(pid_t(pid), SIGTERM);
    if (waitForEnd(ending, grace))
        return true;
    // What is left, and whatever it started meanwhile, is not asked again.
    ending = withDescendants(pids) | ending;
    for (const qint64 pid : std::as_const(ending))
        ::kill(pid_t(pid), SIGKILL);
    return waitForEnd(ending, grace);
}

} // namespace tandrel
