#include "platform/Processes.h"

#include "platform/ProcessTable.h"

#include <QSet>
#include <QThread>

#include <signal.h>
#include <unistd.h>

namespace tandrel {
namespace {

using namespace processtable;

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
        {
            const QByteArray text = argumentsAndEnvironment(pid);
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
