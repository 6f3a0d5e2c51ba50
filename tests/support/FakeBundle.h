#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// Builders of test fixtures on disk. Each throws tandrel::FileSystemError when the
// disk refuses, which fails the running test.
namespace tandrel::test {

// Homes ---------------------------------------------------------------------------

// The files makeFakeHome writes, relative to the home: some in each of Downloads,
// Documents and Desktop, one of them in a subfolder.
QStringList fakeHomeFiles();
// Creates the folder (and parents) with Downloads, Documents and Desktop holding
// fakeHomeFiles(); gives the path back.
QString makeFakeHome(const QString &path);
// True when every file makeFakeHome wrote is still there with its own content.
bool fakeHomeIntact(const QString &home);

// Bundles -------------------------------------------------------------------------

enum class BundleMarker { None, Electron, Xul };

struct FakeBundleOptions
{
    // CFBundleExecutable and the name of Contents/MacOS/<executable>; empty leaves both out.
    QString executable = QStringLiteral("app");
    // CFBundleIdentifier; empty leaves the key out.
    QString identifier;
    // CFBundleIconFile exactly as written in Info.plist; empty leaves the key out.
    QString iconFile;
    // When set, Contents/Resources/<iconFile> (".icns" added to a name without a dot)
    // holds one image per size, each in fakeIconColor(size). Needs iconFile.
    QList<int> iconSizes;
    // When set, written as the icon file instead (for example garbage).
    std::optional<QByteArray> iconBytes;
    // More Info.plist keys. Values: QString, bool, integers, double, QByteArray,
    // QDateTime, lists and maps of those.
    QVariantMap extraKeys;
    bool binaryPlist = false;
    // The executable's bytes (a Mach-O file, say) instead of the recording script.
    std::optional<QByteArray> executableBytes;
    // Writes no executable file, though Info.plist still names it.
    bool omitExecutable = false;
    // Where the recording script writes; empty means launchRecordPath(<bundle>).
    QString recordFile;
    BundleMarker marker = BundleMarker::None;
};

// Creates <parentFolder>/<name>.app and gives its path. By default its executable is
// a shell script that writes its HOME and arguments to the record file.
QString makeFakeBundle(
    const QString &parentFolder, const QString &name, const FakeBundleOptions &options = {});

// Where a bundle's recording script writes by default: "<bundle>.launched", beside it.
QString launchRecordPath(const QString &bundlePath);

struct LaunchRecord
{
    QString home;
    QStringList arguments;
};
// What a recording script wrote, once the file is complete (it appears whole).
std::optional<LaunchRecord> readLaunchRecord(const QString &recordFile);

// Instances -----------------------------------------------------------------------

// A wrapper "<spacesDir>/<name>.app" as Tandrel writes one: an Info.plist carrying
// Tandrel's identifier for the id, and a space.json holding `record` with "id" added
// (a null record writes none). Gives the wrapper's path.
QString makeWrapper(const QString &spacesDir, const QString &name, const QString &id,
    const std::optional<QByteArray> &recordMembers = QByteArray());
// A fresh lower-case UUID.
QString newInstanceId();

// Icons ---------------------------------------------------------------------------

// The colour of the fixture image of that size, different for every size.
QColor fakeIconColor(int size);
// A square image of the size, filled with fakeIconColor(size).
QImage fakeIconImage(int size);

// Property lists ------------------------------------------------------------------

// The map as an XML or binary property list, written by libplist.
QByteArray encodePropertyList(const QVariantMap &map, bool binary);

// Info.plist keys of a large shipped app: 45 top-level keys with document, URL and exported
// types nested in arrays and dictionaries; about 16 KB as XML, 5 KB as binary.
QVariantMap richInfoKeys(const QString &executable);

} // namespace tandrel::test
