#pragma once

#include <QMainWindow>
#include <QStringList>

#include <optional>

namespace tandrel {

class ContentView;

// One window: its own ContentView (and so its own Store, search and selection) and
// the menu every window shows.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(std::optional<QStringList> applicationFolders = std::nullopt, QWidget *parent = nullptr);

    ContentView *contentView() const { return m_content; }

Q_SIGNALS:
    void newWindowRequested();
    void aboutRequested();
    void uninstallRequested();

private:
    void buildMenus();

    ContentView *m_content = nullptr;
};

} // namespace tandrel
