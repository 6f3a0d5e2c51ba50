// The process list of macOS: sysctl and libproc, which the system's own process tools read.
#include "platform/ProcessTable.h"

#include <libproc.h>
#include <sys/proc.h>
#include <sys/sysctl.h>

#include <vector>

namespace tandrel::processtable {
namespace {

// As on Linux: only the start of a huge command line and environment is read.
constexpr size_t maxArguments = 256 * 1024;

} // namespace

QList<qint64> processIds()
{
    const int expected = ::proc_listallpids(nullptr, 0);
    if (expected <= 0)
        return {};
    // Room for the processes started since the count.
    std::vector<pid_t> pids(size_t(expected) + 64);
    const int count = ::proc_listallpids(pids.data(), int(pids.size() * sizeof(pid_t)));
    QList<qint64> list;
    for (int i = 0; i < count && size_t(i) < pids.size(); ++i) {
        if (pids[size_t(i)] > 0)
            list << pids[size_t(i)];
    }
    return list;
}

QByteArray argumentsAndEnvironment(qint64 pid)
{
    // KERN_PROCARGS2: the argument count, then the executable's path, the arguments and the
    // environment, each ending in NUL; readable for this user's processes only.
    int argumentsMax = 0;
    size_t size = sizeof argumentsMax;
    int maxName[] = { CTL_KERN, KERN_ARGMAX };
    if (::sysctl(maxName, 2, &argumentsMax, &size, nullptr, 0) != 0 || argumentsMax <= 0)
        return {};
    std::vector<char> buffer(size_t(argumentsMax));
    size = buffer.size();
    int name[] = { CTL_KERN, KERN_PROCARGS2, int(pid) };
    if (::sysctl(name, 3, buffer.data(), &size, nullptr, 0) != 0 || size <= sizeof(int))
        return {};
    return QByteArray(buffer.data() + sizeof(int), qsizetype(std::min(size - sizeof(int), maxArguments)));
}

std::optional<ProcessState> stateOf(qint64 pid)
{
    struct kinfo_proc info = {};
    size_t size = sizeof info;
    int name[] = { CTL_KERN, KERN_PROC, KERN_PROC_PID, int(pid) };
    if (::sysctl(name, 4, &info, &size, nullptr, 0) != 0 || size == 0)
        return std::nullopt;
    return ProcessState { info.kp_eproc.e_ppid, info.kp_proc.p_stat == SZOMB };
}

} // namespace tandrel::processtable
