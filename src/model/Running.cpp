#include "model/Store.h"
#include "model/ThreadHandoff.h"
#include "platform/Processes.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

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

void Store::checkRunning()
{
    // As refresh() does: only the newest check's answer is applied, and only while this
    // Store exists.
    static const char toJob = 0;
    static const char toMain = 0;
    const quint64 generation = ++m_runningGeneration;
    auto job = [spaces = m_spaces, store = QPointer<Store>(this), generation]() mutable {
        receive(&toJob);
        QHash<QString, QList<qint64>> running = runningProcesses(spaces);
        auto publish = [store = std::move(store), running = std::move(running), generation]() mutable {
            receive(&toMain);
            if (!store || store->m_runningGeneration != generation || store->m_running == running)
                return;
            store->m_running = std::move(running);
            Q_EMIT store->runningChanged();
        };
        handOff(&toMain, [&publish] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(publish), Qt::QueuedConnection);
        });
    };
    handOff(&toJob, [&job] { QThreadPool::globalInstance()->start(std::move(job)); });
}

} // namespace tandrel
