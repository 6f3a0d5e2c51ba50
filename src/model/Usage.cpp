// What instances use while they live: the processes running from their data folders and
// the disk their data takes, found in the background for the window.
#include "model/Store.h"
#include "model/ThreadHandoff.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"

namespace tandrel {

QHash<QString, QList<qint64>> Store::runningProcesses(const QList<SpaceInfo> &spaces)
{
    QStringList folders;
    for (const SpaceInfo &space : spaces) {
        if (space.dataDir)
            folders << *space.dataDir;
    }
    const QHash<QString, QList<qint64>> byFolder = processesUsing(folders);
    QHash<QString, QList<qint64>> running;
    for (const SpaceInfo &space : spaces) {
        if (space.dataDir && byFolder.contains(*space.dataDir))
            running.insert(space.id(), byFolder.value(*space.dataDir));
    }
    return running;
}

bool Store::stopSpace(const SpaceInfo &space)
{
    const QList<qint64> pids = runningProcesses({ space }).value(space.id());
    // A few seconds to save and close as when the session ends; then no more asking.
    return pids.isEmpty() || endProcesses(pids, std::chrono::seconds(4));
}

QHash<QString, qint64> Store::dataSizes(const QList<SpaceInfo> &spaces)
{
    QHash<QString, qint64> sizes;
    for (const SpaceInfo &space : spaces) {
        // A data folder that is a link is not the instance's own: nothing behind it counts.
        if (space.dataDir && fs::itemKind(*space.dataDir) == fs::ItemKind::Directory)
            sizes.insert(space.id(), fs::diskUsage(*space.dataDir));
    }
    return sizes;
}

void Store::checkRunning()
{
    inBackground(
        this, &Store::m_runningGeneration, [spaces = m_spaces] { return runningProcesses(spaces); },
        [](Store &store, QHash<QString, QList<qint64>> running) {
            if (store.m_running == running)
                return;
            store.m_running = std::move(running);
            Q_EMIT store.runningChanged();
        });
}

void Store::countSizes()
{
    inBackground(
        this, &Store::m_sizesGeneration, [spaces = m_spaces] { return dataSizes(spaces); },
        [](Store &store, QHash<QString, qint64> sizes) {
            if (store.m_sizes == sizes)
                return;
            store.m_sizes = std::move(sizes);
            Q_EMIT store.sizesChanged();
        });
}

} // namespace tandrel
