#pragma once

#include "model/SpaceInfo.h"

#include <QList>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace tandrel {

class SpaceRow;
class Store;

// "Your duplicated instances": a heading over one row per instance.
class SpacesSection : public QWidget
{
    Q_OBJECT
public:
    SpacesSection(Store *store, QWidget *parent = nullptr);

    void setSpaces(const QList<SpaceInfo> &spaces);
    QList<SpaceRow *> rows() const { return m_rows; }
    void retranslate();

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateColors();

    Store *m_store = nullptr;
    QLabel *m_heading = nullptr;
    QVBoxLayout *m_list = nullptr;
    QList<SpaceRow *> m_rows;
};

} // namespace tandrel
