#include "ui/AppsSection.h"

#include "l10n/Tr.h"
#include "model/Store.h"
#include "ui/AppGrid.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tandrel {
namespace {

constexpr int gridMargin = 5;

// The explanation's label, wrapped and never cut short, on a faint orange rounded background.
class ExplanationLabel : public QLabel
{
public:
    explicit ExplanationLabel(QWidget *parent)
        : QLabel(parent)
    {
        setWordWrap(true);
        setContentsMargins(10, 10, 10, 10);
        setFont(style::font(11.5));
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        style::fillRounded(
            painter, QRectF(rect()), 8, style::withAlpha(style::orange(), style::tint::explanation));
        painter.end();
        QLabel::paintEvent(event);
    }
};

} // namespace

QLabel *makeSectionHeading(QWidget *parent)
{
    auto *heading = new QLabel(parent);
    heading->setFont(style::font(15, QFont::DemiBold));
    heading->setAccessibleName(QString());
    return heading;
}

AppsSection::AppsSection(QWidget *parent)
    : QWidget(parent)
    , m_noMatch(new QLabel(this))
    , m_duplicableGroup(new QWidget(this))
    , m_sandboxedGroup(new QWidget(this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(28);
    m_noMatch->setFont(style::font(13));
    m_noMatch->setWordWrap(true);
    m_noMatch->setTextFormat(Qt::PlainText);
    column->addWidget(m_noMatch);

    auto *duplicable = new QVBoxLayout(m_duplicableGroup);
    duplicable->setContentsMargins(0, 0, 0, 0);
    duplicable->setSpacing(10);
    m_duplicableHeading = makeSectionHeading(m_duplicableGroup);
    m_duplicableGrid = new AppGrid(false, m_duplicableGroup);
    duplicable->addWidget(m_duplicableHeading);
    duplicable->addSpacing(-gridMargin);
    duplicable->addWidget(m_duplicableGrid);

    auto *sandboxed = new QVBoxLayout(m_sandboxedGroup);
    sandboxed->setContentsMargins(0, 0, 0, 0);
    sandboxed->setSpacing(10);
    auto *headingRow = new QHBoxLayout;
    headingRow->setSpacing(6);
    m_lock = new QLabel(m_sandboxedGroup);
    m_sandboxedHeading = makeSectionHeading(m_sandboxedGroup);
    headingRow->addWidget(m_lock, 0, Qt::AlignVCenter);
    headingRow->addWidget(m_sandboxedHeading, 0, Qt::AlignVCenter);
    headingRow->addStretch(1);
    m_explanation = new ExplanationLabel(m_sandboxedGroup);
    m_sandboxedGrid = new AppGrid(true, m_sandboxedGroup);
    sandboxed->addLayout(headingRow);
    sandboxed->addWidget(m_explanation);
    sandboxed->addSpacing(-gridMargin);
    sandboxed->addWidget(m_sandboxedGrid);
    // Room for a hovered card, which grows by 5% beyond its cell.
    for (AppGrid *grid : { m_duplicableGrid, m_sandboxedGrid })
        grid->setContentsMargins(gridMargin, gridMargin, gridMargin, gridMargin);

    column->addWidget(m_duplicableGroup);
    column->addWidget(m_sandboxedGroup);

    connect(m_duplicableGrid, &AppGrid::appActivated, this, &AppsSection::appActivated);
    connect(m_sandboxedGrid, &AppGrid::appActivated, this, &AppsSection::appActivated);
    updateColors();
    setGroups({}, {});
    retranslate();
}

void AppsSection::setGroups(
    const QList<InstalledApp> &duplicables, const QList<InstalledApp> &nonDuplicables, const QString &search)
{
    m_search = search;
    m_duplicableGrid->setApps(duplicables);
    m_sandboxedGrid->setApps(nonDuplicables);
    m_duplicableGroup->setVisible(!duplicables.isEmpty());
    retranslate(); // the explanation follows the kinds of apps in the group
    m_sandboxedGroup->setVisible(!nonDuplicables.isEmpty());
    m_noMatch->setVisible(!search.isEmpty() && duplicables.isEmpty() && nonDuplicables.isEmpty());
    retranslateNoMatch();
}

void AppsSection::retranslateNoMatch()
{
    m_noMatch->setText(
        tandrel::tr(QStringLiteral("Ninguna app coincide con \"") + m_search + QStringLiteral("\"."),
            QStringLiteral("No app matches \"") + m_search + QStringLiteral("\".")));
}

void AppsSection::retranslate()
{
    retranslateNoMatch();
    m_duplicableHeading->setText(
        tandrel::tr(QStringLiteral("Apps duplicables"), QStringLiteral("Duplicable apps")));
    m_sandboxedHeading->setText(
        tandrel::tr(QStringLiteral("No duplicables"), QStringLiteral("Not duplicable")));
    // Each kind of app in the group has its own reason; all of them are given.
    m_explanation->setText(Store::sandboxExplanation(m_sandboxedGrid->apps()));
    update();
}

void AppsSection::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QWidget::changeEvent(event);
}

void AppsSection::updateColors()
{
    const QColor secondary = style::secondaryText(palette());
    style::setTextColor(m_duplicableHeading, secondary);
    style::setTextColor(m_sandboxedHeading, secondary);
    style::setTextColor(m_explanation, secondary);
    style::setTextColor(m_noMatch, secondary);
    m_lock->setPixmap(symbolPixmap(Symbol::LockFill, style::sandboxText(palette()), 12, devicePixelRatioF()));
}

} // namespace tandrel
