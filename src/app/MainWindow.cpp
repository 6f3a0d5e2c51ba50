#include "app/MainWindow.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "ui/ContentView.h"
#include "ui/Transfers.h"

#include "ui/LinksDialog.h"
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>

namespace tandrel {
namespace {

constexpr char geometryKey[] = "window/geometry";

} // namespace

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
    // Where the user left it; the first time, the usual size within the screen's free area
    // (at 2× a 1080p screen is 960 px high, menus and panels included).
    if (!restoreGeometry(QSettings().value(QLatin1String(geometryKey)).toByteArray())) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QSize room = screen ? screen->availableGeometry().size() * 0.9 : QSize(900, 680);
        resize(QSize(900, 680).boundedTo(room));
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QSettings().setValue(QLatin1String(geometryKey), saveGeometry());
    QMainWindow::closeEvent(event);
}

namespace {

// The platform's own keys for the action first (the menu shows the first), then the one
// every user tries, which some themes leave out.
QList<QKeySequence> keysFor(QKeySequence::StandardKey standard, const QKeySequence &usual)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    if (!keys.contains(usual))
        keys.append(usual);
    return keys;
}

} // namespace

void MainWindow::buildMenus()
{
    // macOS has the application menu; elsewhere About goes under Help and Uninstall under File.
#ifdef Q_OS_MACOS
    QMenu *app = menuBar()->addMenu(QStringLiteral("Tandrel"));
    m_about = app->addAction(QString());
    app->addSeparator();
    m_uninstall = app->addAction(QString());
#endif
    m_fileMenu = menuBar()->addMenu(QString());
    m_newWindow = m_fileMenu->addAction(QString());
    m_newWindow->setShortcut(QKeySequence::New);
    connect(m_newWindow, &QAction::triggered, this, &MainWindow::newWindowRequested);
    m_import = m_fileMenu->addAction(QString());
    m_import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(m_import, &QAction::triggered, this, [this] { importInstance(this, m_content->store()); });
    m_links = m_fileMenu->addAction(QString());
    m_links->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(m_links, &QAction::triggered, this, [this] {
        LinksDialog dialog(m_content->store(), this);
        dialog.exec();
    });
    m_close = m_fileMenu->addAction(QString());
    m_close->setShortcuts(keysFor(QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)));
    connect(m_close, &QAction::triggered, this, &QWidget::close);
    m_fileMenu->addSeparator();
#ifndef Q_OS_MACOS
    m_uninstall = m_fileMenu->addAction(QString());
    m_fileMenu->addSeparator();
#endif
    m_quit = m_fileMenu->addAction(QString());
    m_quit->setShortcuts(keysFor(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    m_quit->setMenuRole(QAction::QuitRole);
    connect(m_quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    m_viewMenu = menuBar()->addMenu(QString());
    m_find = m_viewMenu->addAction(QString());
    m_find->setShortcut(QKeySequence::Find);
    connect(m_find, &QAction::triggered, m_content, &ContentView::focusSearch);
    m_refresh = m_viewMenu->addAction(QString());
    QList<QKeySequence> refreshKeys = keysFor(QKeySequence::Refresh, QKeySequence(Qt::CTRL | Qt::Key_R));
    if (!refreshKeys.contains(QKeySequence(Qt::Key_F5)))
        refreshKeys.append(QKeySequence(Qt::Key_F5)); // a key bound twice would do nothing
    m_refresh->setShortcuts(refreshKeys);
    connect(m_refresh, &QAction::triggered, m_content, &ContentView::refresh);

#ifndef Q_OS_MACOS
    m_helpMenu = menuBar()->addMenu(QString());
    m_about = m_helpMenu->addAction(QString());
#endif
    m_about->setMenuRole(QAction::AboutRole);
    connect(m_about, &QAction::triggered, this, &MainWindow::aboutRequested);
    m_uninstall->setMenuRole(QAction::ApplicationSpecificRole);
    connect(m_uninstall, &QAction::triggered, this, &MainWindow::uninstallRequested);
}

void MainWindow::retranslate()
{
    m_about->setText(tandrel::tr(QStringLiteral("Acerca de Tandrel"), QStringLiteral("About Tandrel")));
    m_uninstall->setText(
        tandrel::tr(QStringLiteral("Desinstalar Tandrel…"), QStringLiteral("Uninstall Tandrel…")));
    // Alt and the underlined letter open a menu (macOS shows no underline).
    m_fileMenu->setTitle(tandrel::tr(QStringLiteral("&Archivo"), QStringLiteral("&File")));
    m_newWindow->setText(tandrel::tr(QStringLiteral("Nueva ventana"), QStringLiteral("New Window")));
    m_close->setText(tandrel::tr(QStringLiteral("Cerrar ventana"), QStringLiteral("Close Window")));
    m_import->setText(
        tandrel::tr(QStringLiteral("Importar una instancia…"), QStringLiteral("Import an Instance…")));
    m_links->setText(tandrel::tr(QStringLiteral("Enlaces…"), QStringLiteral("Links…")));
    m_quit->setText(tandrel::tr(QStringLiteral("Salir"), QStringLiteral("Quit")));
    m_viewMenu->setTitle(tandrel::tr(QStringLiteral("&Ver"), QStringLiteral("&View")));
    if (m_helpMenu)
        m_helpMenu->setTitle(tandrel::tr(QStringLiteral("A&yuda"), QStringLiteral("&Help")));
    m_find->setText(tandrel::tr(QStringLiteral("Buscar"), QStringLiteral("Find")));
    m_refresh->setText(
        tandrel::tr(QStringLiteral("Actualizar lista de apps"), QStringLiteral("Refresh App List")));
}

} // namespace tandrel
