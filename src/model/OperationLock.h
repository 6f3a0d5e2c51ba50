#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace tandrel {

// Tandrel's writes (create, delete, uninstall) are serialised between every process of the
// user, the window and the command line alike, by an exclusive lock on the data root folder
// (flock: the system drops it when a process dies, so a crash never leaves it held).
class OperationLock
{
public:
    // Takes the lock, waiting up to `patience`; throws TandrelError naming the wait when
    // another process holds it longer, or FileSystemError when the folder cannot be made.
    // `waiting` is called once when the wait passes a few seconds.
    explicit OperationLock(std::chrono::milliseconds patience, const std::function<void()> &waiting = {});
    ~OperationLock();
    OperationLock(const OperationLock &) = delete;
    OperationLock &operator=(const OperationLock &) = delete;

    // The folder locked: the data root of the platform's own road.
    static QString folder();

private:
    int m_fd = -1;
};

} // namespace tandrel
