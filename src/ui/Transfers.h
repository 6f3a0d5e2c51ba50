#pragma once

#include "model/InstanceArchive.h"
#include "model/SpaceInfo.h"

#include <QString>

#include <functional>

class QWidget;

namespace tandrel {

class Store;

// Runs a long copy of an instance's data on a worker thread behind a progress dialog: a
// bar, the bytes done of the total, the time left, and Cancel, which stops the copy and
// leaves nothing behind. Then `done` runs on the main thread with the error's text, empty
// when the copy finished, transferCancelledText() when it was cancelled.
void runTransfer(QWidget *parent, const QString &title, std::function<void(const Transfer &)> work,
    std::function<void(const QString &error)> done);

// The window's commands: each asks what it needs (a file, a name), runs the copy with
// progress, rescans the store and tells a failure.
void exportInstance(QWidget *parent, const SpaceInfo &space);
void duplicateInstance(QWidget *parent, Store &store, const SpaceInfo &space);
void importInstance(QWidget *parent, Store &store);

// The file the user picks (saving, or opening); empty when cancelled. Tests replace it.
struct FileQuestion
{
    QString title;
    QString suggested; // a path
    bool save = false;
    QWidget *parent = nullptr;
};
using FileAsker = std::function<QString(const FileQuestion &)>;
void setFileAsker(FileAsker asker);

} // namespace tandrel
