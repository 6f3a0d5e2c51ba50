#include "ui/CreateSheet.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "model/Store.h"
#include "ui/Accessibility.h"
#include "ui/Confirmation.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace tandrel {
namespace {

constexpr int sheetWidth = 400;
constexpr int margin = 28;
constexpr int fieldsWidth = 320;

// A rounded box filled with a colour at an opacity, behind its children.
class TintedBox : public QWidget
{
public:
    TintedBox(QColor tint, qreal radius, QWidget *parent)
        : QWidget(parent)
        , m_tint(tint)
        , m_radius(radius)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        style::fillRounded(painter, QRectF(rect()), m_radius, m_tint);
    }

private:
    QColor m_tint;
    qreal m_radius;
};

// Any failure's text: our refusals and the file system's own descriptions alike carry
// their text, unchanged, as UTF-8.
QString describe(const std::exception &error)
{
    return QString::fromUtf8(error.what());
}

// Plain whitespace only: a name of line breaks is let through and refused by the Store.
bool blankName(const QString &name)
{
    for (const QChar c : name) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c.category() != QChar::Separator_Space)
            return false;
    }
    return true;
}

} // namespace

CreateSheet::CreateSheet(InstalledApp app, Store *store, QWidget *parent)
    : QDialog(parent)
    , m_app(std::move(app))
    , m_store(store)
{
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *column = new QVBoxLayout(this);
    // The sheet takes the size its layout asks for: the column, centred, sets the width.
    const int side = (sheetWidth - fieldsWidth) / 2;
    column->setContentsMargins(side, margin, side, margin);
    column->setSpacing(18);
    column->setSizeConstraint(QLayout::SetFixedSize);

    auto *icon = new QLabel(this);
    const qreal ratio = devicePixelRatioF();
    // Shown once read in the background (at once when the grid already read it).
    const auto showIcon = [icon, ratio](const QImage &image) {
        if (!image.isNull())
            icon->setPixmap(style::iconPixmap(image, 96, ratio));
    };
    showIcon(IconCache::shared().icon(m_app.id()));
    connect(&IconCache::shared(), &IconCache::iconLoaded, icon, [this, showIcon](const QString &path) {
        if (path == m_app.id())
            showIcon(IconCache::shared().icon(path));
    });
    icon->setFixedSize(96, 96);
    auto *shadow = new QGraphicsDropShadowEffect(icon);
    shadow->setColor(QColor(0, 0, 0, int(0.2 * 255)));
    shadow->setBlurRadius(24);
    shadow->setOffset(0, 4);
    icon->setGraphicsEffect(shadow);
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto *heading = new QVBoxLayout;
    heading->setSpacing(4);
    m_title = new QLabel(this);
    m_title->setFont(style::font(17, QFont::DemiBold));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_subtitle = new QLabel(this);
    m_subtitle->setFont(style::font(12));
    m_subtitle->setAlignment(Qt::AlignCenter);
    m_subtitle->setWordWrap(true);
    heading->addWidget(m_title);
    heading->addWidget(m_subtitle);
    column->addLayout(heading);

    auto *fields = new QWidget(this);
    fields->setFixedWidth(fieldsWidth);
    auto *fieldsColumn = new QVBoxLayout(fields);
    fieldsColumn->setContentsMargins(0, 0, 0, 0);
    fieldsColumn->setSpacing(10);
    m_name = new QLineEdit(tandrel::tr(QStringLiteral("Cuenta 2"), QStringLiteral("Account 2")), fields);
    fieldsColumn->addWidget(m_name);
    auto *segments = new QHBoxLayout;
    segments->setSpacing(0);
    m_modeGroup = new QButtonGroup(this);
    for (const Mode mode : allModes()) {
        auto *segment = new QPushButton(fields);
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setChecked(mode == m_mode);
        m_modeGroup->addButton(segment, int(mode));
        m_modeButtons.append(segment);
        segments->addWidget(segment, 1);
    }
    fieldsColumn->addLayout(segments);
    m_help = new QLabel(fields);
    m_help->setFont(style::font(11));
    m_help->setWordWrap(true);
    fieldsColumn->addWidget(m_help);
    column->addWidget(fields, 0, Qt::AlignHCenter);

    m_warning = new TintedBox(style::withAlpha(style::orange(), style::tint::warning), 8, this);
    m_warning->setFixedWidth(fieldsWidth);
    auto *warningRow = new QHBoxLayout(m_warning);
    warningRow->setContentsMargins(10, 10, 10, 10);
    warningRow->setSpacing(8);
    m_lock = new QLabel(m_warning);
    warningRow->addWidget(m_lock, 0, Qt::AlignTop);
    m_warningText = new QLabel(m_warning);
    m_warningText->setFont(style::font(11));
    m_warningText->setWordWrap(true);
    warningRow->addWidget(m_warningText, 1);
    column->addWidget(m_warning, 0, Qt::AlignHCenter);

    m_error = new QLabel(this);
    m_error->setFont(style::font(12));
    m_error->setWordWrap(true);
    m_error->setFixedWidth(fieldsWidth);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_error, 0, Qt::AlignHCenter);
    m_alert = new Announcer(QAccessible::AlertMessage, this);

    auto *buttons = new QHBoxLayout;
    m_cancel = new QPushButton(this);
    m_cancel->setAutoDefault(false);
    m_create = new QPushButton(this);
    m_create->setDefault(true);
    style::makeProminent(m_create);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_create);
    buttons->addStretch(1);
    column->addLayout(buttons);

    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_create, &QPushButton::clicked, this, &CreateSheet::create);
    connect(m_name, &QLineEdit::textChanged, this, &CreateSheet::updateState);
    connect(m_modeGroup, &QButtonGroup::idClicked, this, [this](int id) { setMode(Mode(id)); });
    connect(m_store, &Store::sandboxedPathsChanged, this, &CreateSheet::updateState);
    connect(m_store, &Store::spaceCreated, this, [this](const QUrl &wrapper) {
        if (!m_creating || wrapper != m_pending)
            return;
        m_creating = false;
        accept();
        try {
            m_store->launchSpace(
                { wrapper, QString(), std::nullopt, std::nullopt, QDateTime::currentDateTimeUtc() });
        } catch (const std::exception &error) {
            inform({ QMessageBox::Warning,
                tandrel::tr(QStringLiteral("No se pudo abrir la instancia"),
                    QStringLiteral("Couldn't open the instance")),
                QString::fromUtf8(error.what()), parentWidget() });
        }
    });
    connect(m_store, &Store::spaceCreationFailed, this, [this](const QUrl &wrapper, const QString &message) {
        if (!m_creating || wrapper != m_pending)
            return;
        m_creating = false;
        m_errorMessage = message;
        updateState();
        m_alert->announce(message);
    });
    connect(&LanguageManager::shared(), &LanguageManager::choiceChanged, this, &CreateSheet::retranslate);

    m_name->selectAll();
    m_name->setFocus();
    updateColors();
    retranslate();
}

void CreateSheet::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QDialog::changeEvent(event);
}

void CreateSheet::updateColors()
{
    const QColor secondary = style::secondaryText(palette());
    style::setTextColor(m_subtitle, secondary);
    style::setTextColor(m_help, secondary);
    style::setPlaceholderColor(m_name, secondary);
    style::setTextColor(m_warningText, style::sandboxText(palette()));
    m_lock->setPixmap(symbolPixmap(Symbol::LockFill, style::sandboxText(palette()), 13, devicePixelRatioF()));
    style::setTextColor(m_error, style::destructiveText(palette()));
}

bool CreateSheet::isSandboxed() const
{
    return m_store->sandboxedPaths().contains(m_app.id());
}

void CreateSheet::setMode(Mode mode)
{
    m_mode = mode;
    m_modeGroup->button(int(mode))->setChecked(true);
    retranslate();
}

void CreateSheet::retranslate()
{
    const QString name = m_app.name();
    setWindowTitle(
        tandrel::tr(QStringLiteral("Nueva instancia de ") + name, QStringLiteral("New instance of ") + name));
    m_title->setText(windowTitle());
    m_subtitle->setText(
        tandrel::tr(QStringLiteral("Con su propia sesión, login y datos — sin tocar la original."),
            QStringLiteral("With its own session, login and data — without touching the original.")));
    m_name->setPlaceholderText(tandrel::tr(QStringLiteral("Nombre (ej: Personal, Cuenta 2)"),
        QStringLiteral("Name (e.g. Personal, Account 2)")));
    m_name->setAccessibleName(m_name->placeholderText());
    for (const Mode mode : allModes()) {
        QPushButton *segment = m_modeButtons.at(int(mode));
        segment->setText(label(mode));
        segment->setAccessibleDescription(
            tandrel::tr(QStringLiteral("Aislamiento"), QStringLiteral("Isolation")));
    }
    QString help = m_mode == Mode::Auto
        ? tandrel::tr(QStringLiteral("Automático detecta el mejor método (recomendado)."),
            QStringLiteral("Automatic detects the best method (recommended)."))
        : tandrel::tr(
            QStringLiteral("HOME aislado: usa este si con Automático la instancia comparte la sesión."),
            QStringLiteral("Isolated HOME: use this if the instance shares the session with Automatic."));
    // An app that hands a second launch to its running copy, say: the user should know first.
    const QString notice = Store::factsOf(m_app, m_mode).notice;
    if (!notice.isEmpty())
        help += QStringLiteral("\n\n") + notice;
    m_help->setText(help);
    m_warningText->setText(Store::sandboxWarning(m_app));
    m_warning->setAccessibleName(m_warningText->text());
    m_cancel->setText(tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel")));
    updateState();
}

void CreateSheet::updateState()
{
    m_create->setText(m_creating
            ? tandrel::tr(QStringLiteral("Creando…"), QStringLiteral("Creating…"))
            : tandrel::tr(QStringLiteral("Crear instancia"), QStringLiteral("Create instance")));
    m_create->setEnabled(!m_creating && !isSandboxed() && !blankName(m_name->text()));
    m_warning->setVisible(isSandboxed());
    m_error->setVisible(m_errorMessage.has_value());
    m_error->setText(m_errorMessage.value_or(QString()));
}

void CreateSheet::create()
{
    if (!m_create->isEnabled())
        return;
    m_creating = true;
    m_errorMessage.reset();
    updateState();
    try {
        // Refusals found without writing come at once; the rest comes back as a signal.
        m_pending = m_store->beginCreateSpace(m_app, m_name->text(), m_mode);
    } catch (const std::exception &error) {
        m_errorMessage = describe(error);
        m_creating = false;
        updateState();
        m_alert->announce(*m_errorMessage);
    }
}

} // namespace tandrel
