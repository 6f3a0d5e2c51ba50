// The process list of Linux: /proc.
#include "platform/ProcessTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace tandrel::processtable {
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

} // namespace

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

QByteArray argumentsAndEnvironment(qint64 pid)
{
    return readProcFile(pid, "cmdline") + '\0' + readProcFile(pid, "environ");
}

// The parent and the state from /proc/<pid>/stat; the command name in parentheses may hold
// anything, so the fields are read after the last ')'.
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

} // namespace tandrel::processtable
