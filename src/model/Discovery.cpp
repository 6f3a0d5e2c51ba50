#include "model/Store.h"

#include "model/AppIcons.h"
#include "model/DesktopSpaces.h"
#include "model/NameOrder.h"
#include "model/ThreadHandoff.h"
#include "platform/FileSystem.h"

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
    for (const QString &folder : folders) {
        QStringList entries;
        try {
            entries = fs::contentsOfDirectory(folder);
        } catch (const FileSystemError &) {
            continue;
        }
        for (const QString &entry : std::as_const(entries)) {
            if (!hasAppExtension(entry))
                continue;
            InstalledApp app{QUrl::fromLocalFile(entry)};
            if (app.name() != QLatin1String("Tandrel"))
                apps.append(std::move(app));
        }
    }
    apps.append(desktop::listApps(folders));
    sortByName(apps, [](const InstalledApp &app) { return app.name(); });
    return apps;
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
