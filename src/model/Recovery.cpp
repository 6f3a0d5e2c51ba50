#include "model/Store.h"

#include "model/Roads.h"
#include "model/Staging.h"
#include "platform/FileSystem.h"

#include <QSet>

namespace tandrel {
namespace {

// The data folders of one root: a creation's, put in place once its launcher is listed
// (the crash came between the two renames) and removed otherwise; a deletion's, removed,
// with the data of a launcher withdrawn before the crash when no listed one carries its id.
void recoverRoot(const QString &root, const QSet<QString> &listed, const QSet<QString> &withdrawn)
{
    const QString real = fs::resolvedPath(root);
    if (real.isEmpty())
        return;
    for (const StagedItem &item : stagedItems(real)) {
        if (item.id.isEmpty())
            continue;
        const QString final = real + QLatin1Char('/') + item.id;
        // A listed instance whose data is in place had it staged only to draw from (a
        // rename's): that copy goes like any other.
        if (item.stage == Stage::New && listed.contains(item.id)
            && fs::itemKind(item.path) == fs::ItemKind::Directory
            && fs::itemKind(final) == fs::ItemKind::Missing) {
            try {
                fs::renameItem(item.path, final);
            } catch (const FileSystemError &) {
            }
        } else {
            removeStaged(item.path);
        }
    }
    for (const QString &id : withdrawn) {
        if (!listed.contains(id)) {
            RemovalReport ignored;
            removeDataFolder(real + QLatin1Char('/') + id, id, { real }, ignored);
        }
    }
}

} // namespace

void Store::recoverInterrupted()
{
    QSet<QString> listed;
    for (const Road *road : roads()) {
        for (const SpaceInfo &space : road->scanInstances()) {
            if (space.instanceId)
                listed.insert(*space.instanceId);
        }
    }
    for (const Road *road : roads()) {
        QList<StagedItem> launchers;
        QStringList roots;
        try {
            launchers = stagedItems(road->instancesFolder());
            roots = road->dataRoots();
        } catch (const std::exception &) {
            continue; // no home: nothing was written
        }
        QSet<QString> withdrawn;
        for (const StagedItem &item : std::as_const(launchers)) {
            if (item.stage == Stage::Gone && road->carriedId(item.path) == item.id)
                withdrawn.insert(item.id);
        }
        for (const QString &root : std::as_const(roots))
            recoverRoot(root, listed, withdrawn);
        for (const StagedItem &item : std::as_const(launchers))
            removeStaged(item.path);
    }
}

} // namespace tandrel
