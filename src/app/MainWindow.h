#pragma once

#include <QMainWindow>
#include <QStringList>

#include <optional>

namespace tandrel {

class ContentView;

// One window: its own ContentView (and so its own Store, search and selection) and
// the menu every window shows, in the language in force.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(
        std::optional<QStringList> applicationFolders = std::nullopt, QWidget *parent = nullptr);

    ContentView *contentView() const { return m_content; }
    QAction *findAction() const { return m_find; }
    QAction *refreshAction() const { return m_refresh; }

Q_SIGNALS:
    void newWindowRequested();
    void aboutRequested();
    void uninstallRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void retranslate();

    ContentView *m_content = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    QMenu *m_helpMenu = nullptr; // not on macOS: About is in the application menu there
    QAction *m_about = nullptr;
    QAction *m_uninstall = nullptr;
    QAction *m_newWindow = nullptr;
    QAction *m_close = nullptr;
    QAction *m_import = nullptr;
    QAction *m_links = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_find = nullptr;
    QAction *m_refresh = nullptr;
};

} // namespace tandrel
