#pragma once

#include <QList>
#include <QString>

namespace tandrel {

// What an unfinished create or delete holds, beside the final places and under names no
// listing shows: ".tandrel-<id>.new" (being built), ".tandrel-<id>.gone" (being removed).
// The operation lock makes any of them found by a new operation a leftover of one that was
// interrupted; Recovery.cpp finishes or removes them.
enum class Stage { New, Gone };

QString stagedPath(const QString &folder, const QString &id, Stage stage);

struct StagedItem
{
    QString path;
    QString id; // empty for a temporary file of the atomic writer
    Stage stage = Stage::New;
};

// The staged items in the folder, and the atomic writer's temporary files
// of names Tandrel chooses ("tandrel-<…>.tandrel-<pid>-<n>", regular files only), as New
// without an id. Links are
// listed too: removing one removes the link alone. Nothing when the folder cannot be read.
QList<StagedItem> stagedItems(const QString &folder);
// Removes a staged item (a link as a link) when it is there; a failure leaves it for the
// next operation's recovery.
void removeStaged(const QString &path);

// Whether the name is that of a staged item (".tandrel-<id>.new" or ".gone").
bool isStagedName(const QString &fileName);

} // namespace tandrel
