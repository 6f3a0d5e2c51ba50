#pragma once

#include "model/Store.h"

#include <QDialog>
#include <QUrl>

#include <optional>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace tandrel {

struct LinkChoice
{
    QString target; // a LinkTarget's key
    bool remember = false; // "Always open <site> here"
};

// Asks where a link opens: its address, then the instances and browsers it can open in
// (icons with their badges, in the order given), numbered for the keys 1 to 9. Arrows
// move, Enter opens, Esc closes. Made without the window's start (no app list, no scans)
// so that it is there at once.
class LinkChooser : public QDialog
{
    Q_OBJECT
public:
    LinkChooser(const QUrl &link, const QList<Store::LinkTarget> &targets, QWidget *parent = nullptr);

    // What was chosen, once accepted.
    std::optional<LinkChoice> choice() const;
    QListWidget *targetList() const { return m_list; }
    QCheckBox *rememberBox() const { return m_remember; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showIcon(const QString &path);

    QList<Store::LinkTarget> m_targets;
    QListWidget *m_list = nullptr;
    QCheckBox *m_remember = nullptr;
    QPushButton *m_open = nullptr;
    bool m_iconsAsked = false;
};

// Shows the chooser and waits; nothing when it was closed.
std::optional<LinkChoice> chooseLinkTarget(const QUrl &link, const QList<Store::LinkTarget> &targets);
// Says why the link could not be opened, in a window of its own.
void showLinkError(const QString &message);

} // namespace tandrel
