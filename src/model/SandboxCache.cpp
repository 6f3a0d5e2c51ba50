#include "model/SandboxCache.h"

#include "model/Roads.h"
#include "model/Store.h"

#include <QHash>

#include <mutex>

namespace tandrel {
namespace {

QHash<QString, bool> &sandboxCache()
{
    static QHash<QString, bool> cache;
    return cache;
}

std::mutex &sandboxLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

bool cachedSandboxAnswer(const QString &appPath, const std::function<bool()> &read)
{
    {
        const std::lock_guard locker(sandboxLock());
        const auto cached = sandboxCache().constFind(appPath);
        if (cached != sandboxCache().constEnd())
            return *cached;
    }
    const bool answer = read();
    const std::lock_guard locker(sandboxLock());
    sandboxCache().insert(appPath, answer);
    return answer;
}

bool Store::isSandboxed(const QUrl &url)
{
    const QString path = plainPath(url);
    return cachedSandboxAnswer(path, [&path] { return roadFor(path).isSandboxed(path); });
}

} // namespace tandrel
