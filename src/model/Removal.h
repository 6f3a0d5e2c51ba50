#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tandrel {

// Removal removes only what Tandrel made, and never follows a link to get there:
// - a launcher (a wrapper bundle, a desktop entry): what its road recognises as its own;
// - a data folder: exactly "<data root>/<id>" for the instance's own id, a real folder.
// A root that is itself a link (moved to another disk, say) is followed once to find its
// real folder; inside it the rules above decide. Links inside what is removed are removed
// as links. Everything else stays where it is and is reported.

enum class LeftoverReason {
    NotMadeByTandrel, // not a wrapper or data folder Tandrel made
    Link, // a symbolic link where a folder was expected
    NotItsDataFolder, // a recorded data folder other than "<data root>/<id>"
    KeptWithInstance, // data kept because its wrapper could not be removed
    Failed, // the system refused; detail holds its description
};

struct Leftover
{
    QString path;
    LeftoverReason reason = LeftoverReason::NotMadeByTandrel;
    QString detail;
};

struct RemovalReport
{
    QList<Leftover> leftovers;

    bool isComplete() const { return leftovers.isEmpty(); }
    // What was left and why, in the language in force; empty when nothing was left.
    QString message() const;
};

// Removes the data folder of the instance when the recorded path names exactly
// "<root>/<instanceId>" for one of the roots and that is a real folder. Without a known id
// nothing is removed.
void removeDataFolder(const QString &recordedDataDir, const std::optional<QString> &instanceId,
    const QStringList &dataRoots, RemovalReport &report);

// Uninstalling a data root: the data folders in it named by an instance id and Finder's
// .DS_Store files go, anything else stays and is reported; then the root itself goes when
// it is left empty or is a link (removed as a link).
void removeDataRoot(const QString &dataRoot, RemovalReport &report);

// Removes the launcher at the path (a wrapper bundle, a desktop entry) when `isOurs()` says
// it is Tandrel's, or with `withdrawTo` renames it there instead; one already gone counts
// as removed, a link is reported and never followed, anything else stays and is reported.
// Returns whether nothing is left there.
bool removeLauncherWhenOurs(const QString &path, const std::function<bool()> &isOurs, RemovalReport &report,
    const QString &withdrawTo = {});

// Helpers of the removals above, for the roads' own.
bool removeReporting(const QString &path, RemovalReport &report);
// The folder's entries, or none when it cannot be read.
QStringList entriesOf(const QString &folder);
// A root left empty, or one that is a link, is removed; anything in it stays.
void removeRoot(const QString &root, RemovalReport &report);
bool isFinderMetadata(const QString &path);

} // namespace tandrel
