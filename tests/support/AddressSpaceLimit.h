#pragma once

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <functional>
#include <optional>

#if defined(Q_OS_LINUX)
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TANDREL_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TANDREL_TEST_SANITIZED 1
#endif
#endif

namespace tandrel::test {

inline constexpr int exitCodeThrew = 125;
inline constexpr int exitCodeGrewTooMuch = 126;

namespace detail {

#if defined(Q_OS_LINUX)
// A "Vm...:  1234 kB" line of /proc/self/status, in bytes; 0 when missing.
inline qint64 procStatusBytes(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}
#endif

} // namespace detail

// Runs `work` in a child process, so that a reader tricked into allocating without bound
// is caught whether or not it copes with the allocation failing: the child's address
// space may grow by `allowedGrowth` at its peak, and is cut off at `cutOff` more than it
// started with (by default four times the growth allowed). A cut-off above what a lying
// length asks for lets the request succeed, so that it shows in the peak even where the
// memory is never touched. Gives the child's exit code: what `work` returned,
// exitCodeThrew, exitCodeGrewTooMuch, or -1 when it was killed (a crash, an abort).
// Nothing where this cannot be measured: off Linux, and under sanitizers, whose shadow
// memory needs far more address space.
inline std::optional<int> exitCodeWithBoundedMemory(
    qint64 allowedGrowth, const std::function<int()> &work, qint64 cutOff = 0)
{
#if defined(Q_OS_LINUX) && !defined(TANDREL_TEST_SANITIZED)
    const qint64 size = detail::procStatusBytes("VmSize");
    if (size <= 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        // A crash just ends the child: the test framework's own handler, which prints and
        // may start a debugger, could wait for locks held by threads that fork left behind.
        for (const int fatal : { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT })
            std::signal(fatal, SIG_DFL);
        const rlim_t cap = rlim_t(size + (cutOff > 0 ? cutOff : 4 * allowedGrowth));
        const rlimit bounded { cap, cap };
        const qint64 peakBefore = detail::procStatusBytes("VmPeak");
        int code = exitCodeThrew;
        if (peakBefore > 0 && setrlimit(RLIMIT_AS, &bounded) == 0) {
            try {
                code = work();
            } catch (...) {
                code = exitCodeThrew;
            }
            if (detail::procStatusBytes("VmPeak") - peakBefore > allowedGrowth)
                code = exitCodeGrewTooMuch;
        }
        _exit(code);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    Q_UNUSED(allowedGrowth);
    Q_UNUSED(work);
    Q_UNUSED(cutOff);
    return std::nullopt;
#endif
}

} // namespace tandrel::test
