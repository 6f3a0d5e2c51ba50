#pragma once

#include "model/LaunchStrategy.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tandrel {

// The families of apps that keep a second copy's data apart through an option of their
// own rather than through an isolated HOME, and how each road recognises their members:
// a bundle by its identifier or by files inside it, a desktop app by the name of its
// program or by files installed beside it.
struct AppFamily
{
    QString name; // "Gecko", "Chromium", "Electron"
    LaunchStrategy strategy; // what an instance of a member is started with
    // CFBundleIdentifier prefixes, exact and case-sensitive.
    QStringList identifierPrefixes;
    // Files inside a bundle's Contents folder; the bundle is a member when one is there.
    QStringList bundleMarkers;
    // Program base names, exact: distributions start the browsers through wrappers with
    // these names, and their binaries carry them too.
    QStringList programNames;
    // Sets of files beside a desktop app's program (or one folder up, for a launcher in a
    // bin/ folder of its own); the app is a member when every file of one set is there.
    QList<QStringList> installMarkers;
};

// The families in the order they are tried: the first that claims an app decides, so a
// Gecko app that also ships Electron's files stays a Gecko app.
const QList<AppFamily> &appFamilies();

} // namespace tandrel
