#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tandrel {

// What uninstalling does after removing the two folders; tests replace both steps so
// that the test runner is neither trashed nor stopped.
struct UninstallSteps
{
    std::function<void(const QString &bundle)> trashApplication;
    std::function<void()> quit;
    // The running app's own location: the .app bundle on macOS, the executable elsewhere.
    QString applicationPath;
};

UninstallSteps defaultUninstallSteps();

// The confirmation's informative text, in the language in force, naming both folders.
QString uninstallDetails(const QString &spacesDir, const QString &dataRoot);

// After a confirmation removes the instances folder, then the data folder, then trashes
// the application and quits, each step whatever became of the one before. Returns
// whether the user confirmed.
bool uninstall(const UninstallSteps &steps, QWidget *parent = nullptr);

} // namespace tandrel
