#include "model/bundle/WrapperOwnership.h"

#include "model/InstanceId.h"
#include "model/bundle/BundleInfo.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

namespace tandrel {
namespace {

const QString identifierPrefix = QStringLiteral("io.tandrel.space.");

// Entries under a folder, relative to it, when each is a real folder or file; nothing at
// the first link or other kind of item.
std::optional<QStringList> plainTree(const QString &root, const QString &relative, int depth)
{
    if (depth > 3)
        return std::nullopt;
    QStringList entries;
    QStringList children;
    try {
        children = fs::contentsOfDirectory(root + relative);
    } catch (const FileSystemError &) {
        return std::nullopt;
    }
    for (const QString &child : std::as_const(children)) {
        const QString name = relative + child.mid(child.lastIndexOf(QLatin1Char('/')));
        switch (fs::itemKind(child)) {
        case fs::ItemKind::Directory: {
            entries << name + QLatin1Char('/');
            const auto inside = plainTree(root, name, depth + 1);
            if (!inside)
                return std::nullopt;
            entries << *inside;
            break;
        }
        case fs::ItemKind::File:
            entries << name;
            break;
        default:
            return std::nullopt;
        }
    }
    return entries;
}

} // namespace

QString wrapperIdentifier(const QString &instanceId)
{
    return identifierPrefix + instanceId;
}

std::optional<QString> instanceIdFromIdentifier(const QString &identifier)
{
    if (!identifier.startsWith(identifierPrefix))
        return std::nullopt;
    const QString id = identifier.mid(identifierPrefix.size());
    return isInstanceId(id) ? std::optional(id) : std::nullopt;
}

std::optional<QString> wrapperInstanceId(const QString &wrapperPath)
{
    if (fs::itemKind(wrapperPath) != fs::ItemKind::Directory)
        return std::nullopt;
    const std::optional<BundleInfo> info = readBundleInfo(wrapperPath);
    return info ? instanceIdFromIdentifier(info->identifier) : std::nullopt;
}

bool isWrapperSkeleton(const QString &wrapperPath)
{
    if (fs::itemKind(wrapperPath) != fs::ItemKind::Directory)
        return false;
    const std::optional<QStringList> tree = plainTree(wrapperPath, QString(), 0);
    if (!tree)
        return false;
    static const QStringList allowed { QStringLiteral("/Contents/"), QStringLiteral("/Contents/MacOS/"),
        QStringLiteral("/Contents/Resources/"), QStringLiteral("/Contents/Resources/app.icns") };
    // Earlier releases wrote in place; a crash could leave the Info.plist under the
    // temporary name of the atomic writer.
    static const QRegularExpression unrenamed(
        QStringLiteral("^/Contents/Info\\.plist\\.tandrel-[0-9]{1,10}-[0-9]{1,10}$"));
    return std::all_of(tree->cbegin(), tree->cend(),
        [](const QString &entry) { return allowed.contains(entry) || unrenamed.match(entry).hasMatch(); });
}

} // namespace tandrel
