#pragma once

#include "model/InstalledApp.h"

#include <QWidget>

class QLabel;

namespace tandrel {

class AppGrid;

// The installed apps in two groups: those that can be duplicated, then the sandboxed
// ones under an explanation of why they cannot. An empty group is not shown; when a search
// leaves both empty, a line says that nothing matches it.
class AppsSection : public QWidget
{
    Q_OBJECT
public:
    explicit AppsSection(QWidget *parent = nullptr);

    void setGroups(const QList<InstalledApp> &duplicables, const QList<InstalledApp> &nonDuplicables,
        const QString &search = QString());
    void retranslate();

    AppGrid *duplicableGrid() const { return m_duplicableGrid; }
    AppGrid *sandboxedGrid() const { return m_sandboxedGrid; }
    QWidget *duplicableGroup() const { return m_duplicableGroup; }
    QWidget *sandboxedGroup() const { return m_sandboxedGroup; }
    QLabel *explanation() const { return m_explanation; }
    QLabel *noMatchHint() const { return m_noMatch; }

Q_SIGNALS:
    void appActivated(const tandrel::InstalledApp &app);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateColors();
    void retranslateNoMatch();

    QString m_search;
    QLabel *m_noMatch = nullptr;
    QWidget *m_duplicableGroup = nullptr;
    QLabel *m_duplicableHeading = nullptr;
    AppGrid *m_duplicableGrid = nullptr;
    QWidget *m_sandboxedGroup = nullptr;
    QLabel *m_lock = nullptr;
    QLabel *m_sandboxedHeading = nullptr;
    QLabel *m_explanation = nullptr;
    AppGrid *m_sandboxedGrid = nullptr;
};

// A heading of a section: 15-point semibold, dimmed.
QLabel *makeSectionHeading(QWidget *parent);

} // namespace tandrel
