#include "model/Store.h"

#include "model/AppIcons.h"
#include "model/NameOrder.h"
#include "model/Roads.h"
#include "model/ThreadHandoff.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace tandrel {

QSet<QString> Store::detectSandboxed(const QList<InstalledApp> &apps)
{
    QSet<QString> sandboxed;
    for (const InstalledApp &app : apps) {
        if (isSandboxed(app.url()))
            sandboxed.insert(app.id());
    }
    return sandboxed;
}

void Store::setDetector(Detector detector)
{
    m_detector = std::move(detector);
}

QList<InstalledApp> Store::listApps(const QStringList &folders)
{
    QList<InstalledApp> apps;
    for (const Road *road : roads())
        apps.append(road->listApps(folders));
    sortByName(apps, [](const InstalledApp &app) { return app.name(); });
    return apps;
}

std::optional<InstalledApp> Store::appAt(const QString &path)
{
    return roadFor(path).appAt(path);
}

AppFacts Store::factsOf(const InstalledApp &app, Mode mode)
{
    return roadFor(app.id()).factsOf(app, mode);
}

QString Store::sandboxWarning(const InstalledApp &app)
{
    return roadFor(app.id()).sandboxWarning(app);
}

QString Store::sandboxTooltip(const InstalledApp &app)
{
    return roadFor(app.id()).sandboxTooltip(app);
}

QString Store::sandboxExplanation(const QList<InstalledApp> &sandboxedApps)
{
    QStringList reasons;
    for (const Road *road : roads()) {
        if (std::any_of(sandboxedApps.cbegin(), sandboxedApps.cend(),
                [road](const InstalledApp &app) { return &roadFor(app.id()) == road; }))
            reasons.append(road->sandboxExplanation());
    }
    // An empty group shows no explanation; the first road's stands ready for it.
    return reasons.isEmpty() ? roads().first()->sandboxExplanation() : reasons.join(QStringLiteral("\n\n"));
}

void Store::refresh()
{
    IconCache::shared().clear();
    setApps(listApps(applicationFolders()));
    scanSpaces();

    // Signatures are read off the main thread; the answer is applied there only while
    // this Store still exists and no later refresh has started: jobs are not cancelled,
    // but an older job that finishes last must not bring back an older set of apps.
    static const char toJob = 0;
    static const char toMain = 0;
    const quint64 generation = ++m_refreshGeneration;
    auto job = [snapshot = m_apps, detector = m_detector ? m_detector : Detector(&Store::detectSandboxed),
                   store = QPointer<Store>(this), generation]() mutable {
        receive(&toJob);
        QSet<QString> sandboxed = detector(snapshot);
        auto publish = [store = std::move(store), sandboxed = std::move(sandboxed), generation]() mutable {
            receive(&toMain);
            if (store && store->m_refreshGeneration == generation)
                store->setSandboxedPaths(std::move(sandboxed));
        };
        handOff(&toMain, [&publish] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(publish), Qt::QueuedConnection);
        });
    };
    handOff(&toJob, [&job] { QThreadPool::globalInstance()->start(std::move(job)); });
}

} // namespace tandrel
