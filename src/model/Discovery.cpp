#include "model/Store.h"

#include "model/NameOrder.h"
#include "model/ThreadHandoff.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace tandrel {

void Store::refresh()
{
    QList<InstalledApp> apps;
    for (const QString &folder : applicationFolders()) {
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
    sortByName(apps, [](const InstalledApp &app) { return app.name(); });
    setApps(std::move(apps));
    scanSpaces();

    // Signatures are read off the main thread; the answer is applied there only
    // while this Store still exists. Jobs are not cancelled: the last to finish wins.
    static const char toJob = 0;
    static const char toMain = 0;
    auto job = [snapshot = m_apps, store = QPointer<Store>(this)]() mutable {
        receive(&toJob);
        QSet<QString> sandboxed;
        for (const InstalledApp &app : std::as_const(snapshot)) {
            if (isSandboxed(app.url()))
                sandboxed.insert(app.id());
        }
        auto publish = [store = std::move(store), sandboxed = std::move(sandboxed)]() mutable {
            receive(&toMain);
            if (store)
                store->setSandboxedPaths(std::move(sandboxed));
        };
        handOff(&toMain, [&publish] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(publish), Qt::QueuedConnection);
        });
    };
    handOff(&toJob, [&job] { QThreadPool::globalInstance()->start(std::move(job)); });
}

} // namespace tandrel
