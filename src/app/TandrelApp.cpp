#include "app/TandrelApp.h"

#include "app/About.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QDialog>

#include <utility>

namespace tandrel {

TandrelApp::TandrelApp(std::optional<QStringList> applicationFolders, QObject *parent)
    : QObject(parent)
    , m_applicationFolders(std::move(applicationFolders))
{
}

MainWindow *TandrelApp::openWindow()
{
    auto *window = new MainWindow(m_applicationFolders);
    connect(window, &MainWindow::newWindowRequested, this, &TandrelApp::openWindow);
    connect(window, &MainWindow::aboutRequested, this, &TandrelApp::showAbout);
    connect(window, &MainWindow::uninstallRequested, this, &TandrelApp::uninstall);
    window->show();
    return window;
}

void TandrelApp::showAbout()
{
    // Texts are built now, in the language in force.
    QDialog *dialog = makeAboutDialog(
        currentAboutInfo(QImage(QStringLiteral(":/icon.png"))), QApplication::activeWindow());
    dialog->show();
}

void TandrelApp::uninstall()
{
    tandrel::uninstall(
        m_uninstallSteps ? *m_uninstallSteps : defaultUninstallSteps(), QApplication::activeWindow());
}

void TandrelApp::setUninstallSteps(UninstallSteps steps)
{
    m_uninstallSteps = std::move(steps);
}

} // namespace tandrel
