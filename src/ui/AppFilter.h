#pragma once

#include "model/InstalledApp.h"

#include <QList>
#include <QSet>
#include <QString>

namespace tandrel {

// The apps whose name or keywords (a desktop entry's generic name and keywords) contain
// the search, ignoring case (accents count); an empty search keeps all. Blanks are not trimmed: " " keeps the
// names holding a blank.
QList<InstalledApp> filterApps(const QList<InstalledApp> &apps, const QString &search);

struct AppGroups
{
    QList<InstalledApp> duplicables;
    QList<InstalledApp> nonDuplicables;
};

// Splits by exact path membership in the sandboxed set, keeping the order.
AppGroups splitBySandbox(const QList<InstalledApp> &apps, const QSet<QString> &sandboxedPaths);

} // namespace tandrel
