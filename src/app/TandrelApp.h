#pragma once

#include "app/Uninstall.h"

#include <QObject>
#include <QStringList>

#include <optional>

namespace tandrel {

class MainWindow;

// The application: a group of windows, each with its own content, and the two
// commands of the app menu.
class TandrelApp : public QObject
{
    Q_OBJECT
public:
    explicit TandrelApp(
        std::optional<QStringList> applicationFolders = std::nullopt, QObject *parent = nullptr);

    // Opens another window with its own Store, search and selection.
    MainWindow *openWindow();

    void showAbout();
    void uninstall();
    // Replaces what uninstalling does after removing the folders (tests).
    void setUninstallSteps(UninstallSteps steps);

protected:
    // Links handed to the running application (macOS's open-URL events) are routed.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::optional<QStringList> m_applicationFolders;
    std::optional<UninstallSteps> m_uninstallSteps;
};

} // namespace tandrel
