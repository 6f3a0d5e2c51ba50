#include "model/Store.h"

#include "model/NameOrder.h"
#include "model/SpaceRecord.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

#include <QFileInfo>

namespace tandrel {
namespace {

SpaceInfo readSpace(const QString &wrapperPath)
{
    SpaceInfo space{QUrl::fromLocalFile(wrapperPath), baseNameWithoutExtension(wrapperPath),
                    std::nullopt, std::nullopt, std::nullopt};
    QByteArray json;
    try {
        json = fs::readFile(wrapperPath + QStringLiteral("/Contents/Resources/space.json"), maxSpaceRecordSize);
    } catch (const FileSystemError &) {
        return space;
    }
    const SpaceRecordFacts facts = readSpaceRecord(json);
    space.targetPath = facts.target;
    space.dataDir = facts.dataDir;
    space.createdAt = facts.createdAt;
    return space;
}

// The data folder with links and ".." resolved, when it lies strictly inside the
// resolved data root; empty otherwise. A link inside the root that points outside
// resolves outside and is left alone.
QString resolvedInsideDataRoot(const QString &dataDir, const QString &dataRoot)
{
    if (!dataDir.startsWith(dataRoot))
        return {};
    const QString root = QFileInfo(dataRoot).canonicalFilePath();
    const QString resolved = QFileInfo(dataDir).canonicalFilePath();
    if (root.isEmpty() || resolved.isEmpty() || root == QLatin1String("/"))
        return {};
    if (!resolved.startsWith(root + QLatin1Char('/')))
        return {};
    return resolved;
}

} // namespace

bool hasAppExtension(const QString &path)
{
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && QStringView(fileName).mid(dot + 1) == QLatin1String("app");
}

void Store::scanSpaces()
{
    QStringList entries;
    try {
        entries = fs::contentsOfDirectory(spacesDir());
    } catch (const FileSystemError &) {
        // A missing or unreadable folder simply means no instances.
    }
    QList<SpaceInfo> spaces;
    for (const QString &entry : std::as_const(entries)) {
        if (hasAppExtension(entry))
            spaces.append(readSpace(entry));
    }
    sortByName(spaces, [](const SpaceInfo &space) { return space.name; });
    setSpaces(std::move(spaces));
}

void Store::deleteSpace(const SpaceInfo &space)
{
    try {
        fs::removeItem(space.id());
    } catch (const FileSystemError &) {
    }
    if (space.dataDir) {
        const QString inside = resolvedInsideDataRoot(*space.dataDir, dataRoot());
        if (!inside.isEmpty()) {
            try {
                fs::removeItem(inside);
            } catch (const FileSystemError &) {
            }
        }
    }
    scanSpaces();
}

void Store::launchSpace(const SpaceInfo &space)
{
    Workspace::shared().openApplication(space.url);
}

} // namespace tandrel
