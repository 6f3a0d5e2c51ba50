#pragma once

#include "model/SpaceInfo.h"

#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QTimer;
class QVariantAnimation;

namespace tandrel {

class ElidedLabel;
class Store;

// One existing instance in the window's list: its icon, name and target, cut in the middle
// when long, the size of its data, a mark while it runs, and the buttons to open it, stop it while it runs,
// show it in the file manager and delete it after a confirmation (also asked by the delete key while the row
// has the focus; a running instance is stopped first).
class SpaceRow : public QWidget
{
    Q_OBJECT
public:
    SpaceRow(SpaceInfo space, Store *store, QWidget *parent = nullptr);

    const SpaceInfo &space() const { return m_space; }
    QPushButton *openButton() const { return m_open; }
    QPushButton *stopButton() const { return m_stop; }
    QLabel *stateLabel() const { return m_state; }
    QLabel *sizeLabel() const { return m_size; }
    QPushButton *revealButton() const { return m_reveal; }
    QPushButton *deleteButton() const { return m_delete; }
    QAction *renameAction() const { return m_renameAction; }
    QAction *badgeAction() const { return m_badgeAction; }
    QAction *exportAction() const { return m_exportAction; }
    QAction *duplicateAction() const { return m_duplicateAction; }
    ElidedLabel *nameLabel() const { return m_name; }
    ElidedLabel *targetLabel() const { return m_target; }
    qreal backgroundOpacity() const { return m_backgroundOpacity; }

    void retranslate();

Q_SIGNALS:
    // The instance was deleted after the user confirmed; complete when nothing was kept.
    void deleted(const QString &name, bool complete);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void open();
    void showTarget();
    bool isRunning() const;
    void updateRunning();
    void updateSize();
    void stop();
    // Stops the instance in the background, then (when it stopped) runs `next` on the main thread.
    void stopThen(std::function<void()> next);
    // Deletes the instance and says what was kept; the row, when still there, announces it.
    static void deleteAndReport(Store &store, const SpaceInfo &space, SpaceRow *row, QWidget *parent);
    void askToRename();
    void askForNewBadge();
    void clearCache();
    void reveal();
    void askToDelete();
    void animateBackground(qreal to);
    void updateColors();

    SpaceInfo m_space;
    Store *m_store = nullptr;
    QWidget *m_icon = nullptr;
    ElidedLabel *m_name = nullptr;
    ElidedLabel *m_target = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_size = nullptr;
    QPushButton *m_open = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_reveal = nullptr;
    QPushButton *m_delete = nullptr;
    QAction *m_renameAction = nullptr;
    QAction *m_badgeAction = nullptr;
    QAction *m_duplicateAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_clearCacheAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QVariantAnimation *m_animation = nullptr;
    QTimer *m_openingTimer = nullptr;
    qreal m_backgroundOpacity = 0.04;
};

} // namespace tandrel
