#include "ui/AppFilter.h"

namespace tandrel {

QList<InstalledApp> filterApps(const QList<InstalledApp> &apps, const QString &search)
{
    if (search.isEmpty())
        return apps;
    QList<InstalledApp> matching;
    matching.reserve(apps.size()); // one pointer per app; no regrowth while typing
    for (const InstalledApp &app : apps) {
        if (app.name().contains(search, Qt::CaseInsensitive)
            || app.keywords().contains(search, Qt::CaseInsensitive))
            matching.append(app);
    }
    return matching;
}

AppGroups splitBySandbox(const QList<InstalledApp> &apps, const QSet<QString> &sandboxedPaths)
{
    AppGroups groups;
    groups.duplicables.reserve(apps.size());
    for (const InstalledApp &app : apps) {
        if (sandboxedPaths.contains(app.id()))
            groups.nonDuplicables.append(app);
        else
            groups.duplicables.append(app);
    }
    return groups;
}

} // namespace tandrel
