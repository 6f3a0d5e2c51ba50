#include "app/TandrelApp.h"

#include "app/About.h"
#include "app/LinkCommands.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QDialog>
#include <QFileOpenEvent>

#include <utility>

namespace tandrel {

TandrelApp::TandrelApp(std::optional<QStringList> applicationFolders, QObject *parent)
    : QObject(parent)
    , m_applicationFolders(std::move(applicationFolders))
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

bool TandrelApp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FileOpen && watched == QCoreApplication::instance()) {
        const QUrl url = static_cast<QFileOpenEvent *>(event)->url();
        if (!url.isLocalFile() && !url.isEmpty()) {
            // After this event returns: the chooser waits in a loop of its own.
            QMetaObject::invokeMethod(
                this, [link = url.toString(QUrl::FullyEncoded)] { routeInApp(link); }, Qt::QueuedConnection);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
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
