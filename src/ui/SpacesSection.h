#pragma once

#include "model/SpaceInfo.h"

#include <QList>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace tandrel {

class SpaceRow;
class Store;

// "Your duplicated instances": a heading over one row per instance, or over a hint while
// there is none.
class SpacesSection : public QWidget
{
    Q_OBJECT
public:
    SpacesSection(Store *store, QWidget *parent = nullptr);

    void setSpaces(const QList<SpaceInfo> &spaces);
    QList<SpaceRow *> rows() const { return m_rows; }
    QLabel *emptyHint() const { return m_empty; }
    void retranslate();

Q_SIGNALS:
    void spaceDeleted(const QString &name, bool complete);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateColors();

    Store *m_store = nullptr;
    QLabel *m_heading = nullptr;
    QLabel *m_empty = nullptr;
    QVBoxLayout *m_list = nullptr;
    QList<SpaceRow *> m_rows;
    QList<SpaceInfo> m_spaces; // what the rows show
};

} // namespace tandrel
