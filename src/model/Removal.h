#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tandrel {

// Removal removes only what Tandrel made, and never follows a link to get there:
// - a wrapper: a real folder directly inside the instances folder whose Info.plist carries
//   Tandrel's identifier (for the instance's own id when it is known), or the bare
//   skeleton a failed creation leaves;
// - a data folder: exactly "<data root>/<id>" for the instance's own id, a real folder.
// A root that is itself a link (moved to another disk, say) is followed once to find its
// real folder; inside it the rules above decide. Links inside what is removed are removed
// as links. Everything else stays where it is and is reported.

enum class LeftoverReason {
    NotMadeByTandrel, // not a wrapper or data folder Tandrel made
    Link,             // a symbolic link where a folder was expected
    NotItsDataFolder, // a recorded data folder other than "<data root>/<id>"
    KeptWithInstance, // data kept because its wrapper could not be removed
    Failed,           // the system refused; detail holds its description
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

// Removes the wrapper under the rules above. A wrapper already gone counts as removed.
// Returns whether nothing is left at its path.
bool removeWrapper(const QString &wrapperPath, const QString &spacesDir,
                   const std::optional<QString> &instanceId, RemovalReport &report);

// Removes the data folder of the instance when the recorded path names exactly
// "<data root>/<instanceId>" and that is a real folder. Without a known id nothing
// is removed.
void removeDataFolder(const QString &recordedDataDir, const std::optional<QString> &instanceId,
                      const QString &dataRoot, RemovalReport &report);

// Everything Tandrel made under both roots (uninstalling): its wrappers, the data folders
// named by an instance id, Finder's .DS_Store files; then each root that is left empty,
// or that is a link, is removed itself.
RemovalReport removeEverything(const QString &spacesDir, const QString &dataRoot);

} // namespace tandrel
