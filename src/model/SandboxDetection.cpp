#include "model/Store.h"

#include "formats/MachOSignature.h"
#include "formats/PlistScan.h"
#include "model/BundleInfo.h"
#include "model/DesktopSpaces.h"

#include <QHash>

#include <mutex>

namespace tandrel {
namespace {

// Every answer, false ones included, for the life of the process.
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

// `known` is the bundle's Info.plist when the caller has read it already.
std::optional<QByteArray> entitlementsOf(const QString &path, const BundleInfo *known)
{
    std::optional<BundleInfo> read;
    if (!known) {
        // A bundle names its executable in Info.plist; a plain file is read as a Mach-O file.
        bool notAFolder = false;
        read = readBundleInfo(path, &notAFolder);
        if (notAFolder)
            return readEntitlementsFromFile(path);
        known = read ? &*read : nullptr;
    }
    if (!known || known->executable.isEmpty())
        return std::nullopt;
    return readEntitlementsFromFile(known->executablePath(path));
}

bool readSandboxed(const QString &path, const BundleInfo *known)
{
    if (path.endsWith(QLatin1String(".desktop")))
        return desktop::isSandboxed(InstalledApp{QUrl::fromLocalFile(path)});
    const auto xml = entitlementsOf(path, known);
    // The key is looked up in the blob directly; an unusual blob is parsed whole.
    return xml && readSandboxEntitlement(*xml);
}

} // namespace

bool Store::isSandboxed(const QUrl &url)
{
    return sandboxAnswer(url, nullptr);
}

bool Store::isSandboxed(const QUrl &url, const BundleInfo &info)
{
    return sandboxAnswer(url, &info);
}

bool Store::sandboxAnswer(const QUrl &url, const BundleInfo *info)
{
    const QString key = plainPath(url);
    {
        const std::lock_guard locker(sandboxLock());
        const auto cached = sandboxCache().constFind(key);
        if (cached != sandboxCache().constEnd())
            return *cached;
    }
    // Never hold the lock while reading: other threads go on with their own paths.
    const bool answer = readSandboxed(key, info);
    const std::lock_guard locker(sandboxLock());
    sandboxCache().insert(key, answer);
    return answer;
}

} // namespace tandrel
