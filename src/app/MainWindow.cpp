#include "app/MainWindow.h"

#include "l10n/LanguageManager.h"
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
    retranslate();
    connect(&LanguageManager::shared(), &LanguageManager::choiceChanged, this, &MainWindow::retranslate);
    resize(900, 680);
}

void MainWindow::buildMenus()
{
    QMenu *app = menuBar()->addMenu(QStringLiteral("Tandrel"));
    m_about = app->addAction(QString());
    m_about->setMenuRole(QAction::AboutRole);
    connect(m_about, &QAction::triggered, this, &MainWindow::aboutRequested);
    app->addSeparator();
    m_uninstall = app->addAction(QString());
    m_uninstall->setMenuRole(QAction::ApplicationSpecificRole);
    connect(m_uninstall, &QAction::triggered, this, &MainWindow::uninstallRequested);

    m_fileMenu = menuBar()->addMenu(QString());
    m_newWindow = m_fileMenu->addAction(QString());
    m_newWindow->setShortcut(QKeySequence::New);
    connect(m_newWindow, &QAction::triggered, this, &MainWindow::newWindowRequested);
    m_close = m_fileMenu->addAction(QString());
    m_close->setShortcut(QKeySequence::Close);
    connect(m_close, &QAction::triggered, this, &QWidget::close);
    m_fileMenu->addSeparator();
    m_quit = m_fileMenu->addAction(QString());
    m_quit->setShortcut(QKeySequence::Quit);
    m_quit->setMenuRole(QAction::QuitRole);
    connect(m_quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    m_viewMenu = menuBar()->addMenu(QString());
    m_find = m_viewMenu->addAction(QString());
    m_find->setShortcut(QKeySequence::Find);
    connect(m_find, &QAction::triggered, m_content, &ContentView::focusSearch);
    m_refresh = m_viewMenu->addAction(QString());
    // The platform's own keys first (the menu shows the first), then the two every user tries.
    QList<QKeySequence> refreshKeys = QKeySequence::keyBindings(QKeySequence::Refresh);
    for (const QKeySequence &key : { QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F5) })
        if (!refreshKeys.contains(key))
            refreshKeys.append(key);
    m_refresh->setShortcuts(refreshKeys);
    connect(m_refresh, &QAction::triggered, m_content, &ContentView::refresh);
}

void MainWindow::retranslate()
{
    m_about->setText(tandrel::tr(QStringLiteral("Acerca de Tandrel"), QStringLiteral("About Tandrel")));
    m_uninstall->setText(
        tandrel::tr(QStringLiteral("Desinstalar Tandrel…"), QStringLiteral("Uninstall Tandrel…")));
    m_fileMenu->setTitle(tandrel::tr(QStringLiteral("Archivo"), QStringLiteral("File")));
    m_newWindow->setText(tandrel::tr(QStringLiteral("Nueva ventana"), QStringLiteral("New Window")));
    m_close->setText(tandrel::tr(QStringLiteral("Cerrar ventana"), QStringLiteral("Close Window")));
    m_quit->setText(tandrel::tr(QStringLiteral("Salir"), QStringLiteral("Quit")));
    m_viewMenu->setTitle(tandrel::tr(QStringLiteral("Ver"), QStringLiteral("View")));
    m_find->setText(tandrel::tr(QStringLiteral("Buscar"), QStringLiteral("Find")));
    m_refresh->setText(
        tandrel::tr(QStringLiteral("Actualizar lista de apps"), QStringLiteral("Refresh App List")));
}

} // namespace tandrel
