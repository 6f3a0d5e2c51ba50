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

    // Signatures are read off the main thread; only the newest refresh's answer is applied.
    inBackground(
        this, &Store::m_refreshGeneration,
        [snapshot = m_apps, detector = m_detector ? m_detector : Detector(&Store::detectSandboxed)] {
            return detector(snapshot);
        },
        [](Store &store, QSet<QString> sandboxed) { store.setSandboxedPaths(std::move(sandboxed)); });
}

} // namespace tandrel
