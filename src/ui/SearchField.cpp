#include "ui/SearchField.h"

#include "l10n/Tr.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace tandrel {

SearchField::SearchField(QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_edit(new QLineEdit(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(m_icon);
    layout->addWidget(m_edit, 1);
    m_edit->setFrame(false);
    m_edit->setFont(style::font(13));
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(palette);
    m_edit->setClearButtonEnabled(false);
    // Clicking the tinted area around the text still lands in the field.
    setFocusProxy(m_edit);
    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &SearchField::textChanged);
    updateIcon();
    retranslate();
}

QString SearchField::text() const
{
    return m_edit->text();
}

void SearchField::retranslate()
{
    const QString placeholder = tandrel::tr(
        QStringLiteral("Buscar una app para duplicar…"), QStringLiteral("Search for an app to duplicate…"));
    m_edit->setPlaceholderText(placeholder);
    m_edit->setAccessibleName(placeholder);
}

bool SearchField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        // Escape clears a search; on an empty field it goes on to whoever else wants it.
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
            && !m_edit->text().isEmpty()) {
            m_edit->clear();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Q_EMIT accepted();
                return true;
            }
            if (key == Qt::Key_Down) {
                Q_EMIT downPressed();
                return true;
            }
        }
        // The frameless edit shows its focus as a ring around the whole field.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            update();
    }
    return QWidget::eventFilter(watched, event);
}

void SearchField::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style::fillRounded(
        painter, QRectF(rect()), 10, style::withAlpha(style::primaryText(palette()), style::tint::field));
    if (m_edit->hasFocus())
        style::paintFocusRing(painter, QRectF(rect()), 10, palette());
}

void SearchField::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateIcon();
    QWidget::changeEvent(event);
}

void SearchField::updateIcon()
{
    style::setPlaceholderColor(m_edit, style::secondaryText(palette()));
    m_icon->setPixmap(
        symbolPixmap(Symbol::MagnifyingGlass, style::secondaryText(palette()), 14, devicePixelRatioF()));
}

} // namespace tandrel
