#pragma once

#include "model/Road.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace tandrel {

// What uninstalling does after removing Tandrel's folders; tests replace both steps so
// that the test runner is neither trashed nor stopped.
struct UninstallSteps
{
    std::function<void(const QString &copy)> trashApplication;
    std::function<void()> quit;
    // Tandrel's own copy to move to the trash (see ownCopyToTrash), or nothing.
    std::optional<QString> applicationCopy;
};

UninstallSteps defaultUninstallSteps();

// The confirmation's informative text, in the language in force, naming each place and
// what becomes of Tandrel itself.
QString uninstallDetails(const QList<UninstallPlace> &places, bool trashesApplication);

// After a confirmation removes everything Tandrel made in every road's places, then
// trashes Tandrel's own copy and quits, each step whatever became of the one before. What
// could not be removed is shown before quitting. Returns whether the user confirmed.
bool uninstall(const UninstallSteps &steps, QWidget *parent = nullptr);

} // namespace tandrel
