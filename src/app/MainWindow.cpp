#include "app/MainWindow.h"

#include "l10n/Tr.h"
#include "ui/ContentView.h"

#include <QApplication>
#include <QMenuBar>

namespace tandrel {

MainWindow::MainWindow(std::optional<QStringList> applicationFolders, QWidget *parent)
    : QMainWindow(parent)
    , m_content(new ContentView(std::move(applicationFolders), this))
{
    setWindowTitle(QStringLiteral("Tandrel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_content);
    buildMenus();
    resize(900, 680);
}

void MainWindow::buildMenus()
{
    // Titles are chosen once, in the language in force when the window is made.
    QMenu *app = menuBar()->addMenu(QStringLiteral("Tandrel"));
    QAction *about = app->addAction(tandrel::tr(QStringLiteral("Acerca de Tandrel"), QStringLiteral("About Tandrel")));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &MainWindow::aboutRequested);
    app->addSeparator();
    QAction *uninstall =
        app->addAction(tandrel::tr(QStringLiteral("Desinstalar Tandrel…"), QStringLiteral("Uninstall Tandrel…")));
    uninstall->setMenuRole(QAction::ApplicationSpecificRole);
    connect(uninstall, &QAction::triggered, this, &MainWindow::uninstallRequested);

    QMenu *file = menuBar()->addMenu(tandrel::tr(QStringLiteral("Archivo"), QStringLiteral("File")));
    QAction *newWindow = file->addAction(tandrel::tr(QStringLiteral("Nueva ventana"), QStringLiteral("New Window")));
    newWindow->setShortcut(QKeySequence::New);
    connect(newWindow, &QAction::triggered, this, &MainWindow::newWindowRequested);
    QAction *close = file->addAction(tandrel::tr(QStringLiteral("Cerrar ventana"), QStringLiteral("Close Window")));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    file->addSeparator();
    QAction *quit = file->addAction(tandrel::tr(QStringLiteral("Salir"), QStringLiteral("Quit")));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
}

} // namespace tandrel
