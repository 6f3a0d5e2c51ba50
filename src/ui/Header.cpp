#include "ui/Header.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "ui/SearchField.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace tandrel {
namespace {

// The logo in a 64 x 64 frame with rounded corners of radius 15.
class LogoView : public QWidget
{
public:
    explicit LogoView(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(64, 64);
        auto *shadow = new QGraphicsDropShadowEffect(this);
        shadow->setColor(QColor(0, 0, 0, int(0.3 * 255)));
        shadow->setBlurRadius(12);
        shadow->setOffset(0, 2);
        setGraphicsEffect(shadow);
        setAccessibleName(QStringLiteral("Tandrel"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QImage &logo = logoImage();
        if (logo.isNull())
            return;
        QPainter painter(this);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 15, 15);
        painter.setClipPath(clip);
        painter.drawImage(QRectF(rect()), logo);
    }

private:
    static const QImage &logoImage()
    {
        static const QImage image = Header::logoImage();
        return image;
    }
};

// A borderless tool button, ringed while it has the focus: the style's own hint of focus
// on a borderless button is too faint to find.
class RingedToolButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QToolButton::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(this);
            style::paintFocusRing(painter, QRectF(rect()), 6, palette());
        }
    }
};

QToolButton *borderlessButton(QWidget *parent)
{
    auto *button = new RingedToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setIconSize(QSize(18, 18));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

Header::Header(QWidget *parent)
    : QWidget(parent)
    , m_tagline(new QLabel(this))
    , m_language(borderlessButton(this))
    , m_languageMenu(new QMenu(this))
    , m_refresh(borderlessButton(this))
    , m_search(new SearchField(this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 36, 24, 16);
    column->setSpacing(12);

    auto *top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(new LogoView(this), 0, Qt::AlignVCenter);
    auto *title = new QLabel(QStringLiteral("Tandrel"), this);
    title->setFont(style::roundedTitleFont(26));
    top->addWidget(title, 0, Qt::AlignVCenter);
    m_tagline->setFont(style::font(13));
    top->addWidget(m_tagline, 0, Qt::AlignVCenter);
    top->addStretch(1);
    m_language->setMenu(m_languageMenu);
    m_language->setPopupMode(QToolButton::InstantPopup);
    m_language->setFixedWidth(22 + 8);
    m_language->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    top->addWidget(m_language, 0, Qt::AlignVCenter);
    top->addWidget(m_refresh, 0, Qt::AlignVCenter);
    column->addLayout(top);
    column->addWidget(m_search);

    connect(m_refresh, &QToolButton::clicked, this, &Header::refreshRequested);
    connect(m_languageMenu, &QMenu::aboutToShow, this, &Header::rebuildLanguageMenu);
    updateColors();
    retranslate();
}

QImage Header::logoImage(const QString &resource)
{
    QImage logo(resource);
    if (logo.isNull())
        logo = QApplication::windowIcon().pixmap(128).toImage();
    return logo;
}

void Header::retranslate()
{
    m_tagline->setText(
        tandrel::tr(QStringLiteral("una app, dos cuentas"), QStringLiteral("one app, two accounts")));
    const QString languageTip
        = tandrel::tr(QStringLiteral("Idioma de la app"), QStringLiteral("App language"));
    m_language->setToolTip(languageTip);
    m_language->setAccessibleName(languageTip);
    const QString refreshTip
        = tandrel::tr(QStringLiteral("Actualizar lista de apps"), QStringLiteral("Refresh app list"));
    m_refresh->setToolTip(refreshTip);
    m_refresh->setAccessibleName(refreshTip);
    m_search->retranslate();
    rebuildLanguageMenu();
}

void Header::rebuildLanguageMenu()
{
    // The actions live as long as the menu; only their texts change, since a choice
    // made from the menu retranslates the window while the action is still signalling.
    const LanguageManager::Choice choices[]
        = { LanguageManager::Choice::Auto, LanguageManager::Choice::Es, LanguageManager::Choice::En };
    if (m_languageMenu->actions().isEmpty()) {
        for (const LanguageManager::Choice choice : choices) {
            QAction *action = m_languageMenu->addAction(QString());
            connect(
                action, &QAction::triggered, this, [choice] { LanguageManager::shared().setChoice(choice); });
        }
    }
    const QStringList texts {
        tandrel::tr(QStringLiteral("Automático (sistema)"), QStringLiteral("Automatic (system)")),
        QStringLiteral("Español"),
        QStringLiteral("English"),
    };
    const QList<QAction *> actions = m_languageMenu->actions();
    for (int i = 0; i < 3; ++i) {
        const bool current = choices[i] == LanguageManager::shared().choice();
        actions[i]->setText((current ? QStringLiteral("✓ ") : QString()) + texts[i]);
    }
}

void Header::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QWidget::changeEvent(event);
}

void Header::updateColors()
{
    style::setTextColor(m_tagline, style::secondaryText(palette()));
    m_language->setIcon(symbolIcon(Symbol::Globe, 16));
    m_refresh->setIcon(symbolIcon(Symbol::ArrowClockwise, 16));
}

} // namespace tandrel
