#include "model/Store.h"

#include "formats/MachOSignature.h"
#include "formats/PropertyList.h"
#include "model/BundleInfo.h"
#include "platform/FileSystem.h"

#include <QHash>

#include <mutex>

namespace tandrel {
namespace {

const QString sandboxEntitlement = QStringLiteral("com.apple.security.app-sandbox");

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
        // A bundle names its executable in Info.plist; anything else is read as a Mach-O file.
        if (fs::itemKind(fs::resolvedPath(path)) != fs::ItemKind::Directory)
            return readEntitlementsFromFile(path);
        read = readBundleInfo(path);
        known = read ? &*read : nullptr;
    }
    if (!known || known->executable.isEmpty())
        return std::nullopt;
    return readEntitlementsFromFile(known->executablePath(path));
}

bool readSandboxed(const QString &path, const BundleInfo *known)
{
    const auto xml = entitlementsOf(path, known);
    if (!xml)
        return false;
    const auto entitlements = readPropertyList(*xml);
    if (!entitlements)
        return false;
    const QVariant value = entitlements->value(sandboxEntitlement);
    // A Boolean or a number counts; text such as "true" does not.
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
        return value.toLongLong() != 0;
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    default:
        return false;
    }
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
