#include "ui/SpacesSection.h"

#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "ui/AppsSection.h"
#include "ui/SpaceRow.h"
#include "ui/Style.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace tandrel {

SpacesSection::SpacesSection(Store *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_heading(makeSectionHeading(this))
    , m_empty(new QLabel(this))
    , m_list(new QVBoxLayout)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_heading);
    m_empty->setFont(style::font(13));
    m_empty->setWordWrap(true);
    column->addWidget(m_empty);
    m_list->setSpacing(6);
    column->addLayout(m_list);
    updateColors();
    retranslate();
}

void SpacesSection::setSpaces(const QList<SpaceInfo> &spaces)
{
    // Rows are few (one per instance) and rebuilt whole, like the list they show.
    // A row may be the one whose button led here, so it goes once its signal has returned.
    for (SpaceRow *row : std::as_const(m_rows)) {
        row->hide();
        m_list->removeWidget(row);
        row->deleteLater();
    }
    m_rows.clear();
    // An instance whose badge changed shows its icon drawn again, wherever the change came from.
    for (const SpaceInfo &space : spaces) {
        const auto before = std::find_if(m_spaces.cbegin(), m_spaces.cend(),
            [&space](const SpaceInfo &old) { return old.url == space.url; });
        if (before != m_spaces.cend() && before->badge != space.badge)
            IconCache::shared().forget(space.id());
    }
    m_spaces = spaces;
    for (const SpaceInfo &space : spaces) {
        auto *row = new SpaceRow(space, m_store, this);
        connect(row, &SpaceRow::deleted, this, &SpacesSection::spaceDeleted);
        m_list->addWidget(row);
        m_rows.append(row);
    }
    m_empty->setVisible(spaces.isEmpty());
}

void SpacesSection::retranslate()
{
    m_heading->setText(tandrel::tr(
        QStringLiteral("Tus instancias duplicadas"), QStringLiteral("Your duplicated instances")));
    m_empty->setText(tandrel::tr(
        QStringLiteral("Todavía no hay instancias: elige una app de abajo para crear la primera."),
        QStringLiteral("No instances yet: pick an app below to create the first one.")));
    for (SpaceRow *row : std::as_const(m_rows))
        row->retranslate();
}

void SpacesSection::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QWidget::changeEvent(event);
}

void SpacesSection::updateColors()
{
    style::setTextColor(m_heading, style::secondaryText(palette()));
    style::setTextColor(m_empty, style::secondaryText(palette()));
}

} // namespace tandrel
