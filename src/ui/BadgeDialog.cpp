#include "ui/BadgeDialog.h"

#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "model/BadgedIcon.h"
#include "ui/Style.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace tandrel {
namespace {

constexpr int previewSide = 96;
constexpr int swatchSide = 22;

// A round swatch of the colour; a ring around it while it is the one chosen.
QIcon swatchIcon(const QColor &color, bool chosen, const QPalette &palette, qreal ratio)
{
    QPixmap pixmap(QSize(swatchSide, swatchSide) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (chosen) {
        painter.setPen(QPen(style::primaryText(palette), 2));
        painter.drawEllipse(QRectF(1, 1, swatchSide - 2, swatchSide - 2));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(4, 4, swatchSide - 8, swatchSide - 8));
    return QIcon(pixmap);
}

BadgeAsker &installedAsker()
{
    static BadgeAsker asker;
    return asker;
}

} // namespace

BadgeDialog::BadgeDialog(const SpaceInfo &space, QWidget *parent)
    : QDialog(parent)
    , m_space(space)
    , m_name(space.instanceName.value_or(space.name))
    , m_badge(space.badge)
    , m_preview(new QLabel(this))
    , m_colors(new QButtonGroup(this))
    , m_custom(new QPushButton(this))
    , m_label(new QLineEdit(this))
    , m_removeImage(new QPushButton(this))
    , m_error(new QLabel(this))
{
    // The colour shown stays the one chosen, even where the record left it to the name.
    m_badge.color = shownBadgeColor(m_name, m_badge);
    setWindowTitle(tandrel::tr(QStringLiteral("Distintivo de \"") + space.name + QLatin1Char('"'),
        QStringLiteral("Badge for \"") + space.name + QLatin1Char('"')));
    auto *column = new QVBoxLayout(this);

    m_preview->setFixedSize(previewSide, previewSide);
    m_preview->setAccessibleName(tandrel::tr(QStringLiteral("Vista previa"), QStringLiteral("Preview")));
    column->addWidget(m_preview, 0, Qt::AlignHCenter);

    auto *grid = new QGridLayout;
    column->addLayout(grid);
    auto *colorTitle = new QLabel(
        tandrel::tr(QStringLiteral("Color del distintivo:"), QStringLiteral("Badge color:")), this);
    grid->addWidget(colorTitle, 0, 0);
    m_colors->setExclusive(false); // a colour of the user's own leaves every swatch off
    auto *swatchRow = new QHBoxLayout;
    swatchRow->setSpacing(2);
    const QList<BadgeColor> &palette = badgePalette();
    for (int i = 0; i < palette.size(); ++i) {
        auto *swatch = new QToolButton(this);
        swatch->setCheckable(true);
        swatch->setAutoRaise(true);
        swatch->setIconSize(QSize(swatchSide, swatchSide));
        swatch->setAccessibleName(badgeColorTitle(palette[i].name));
        swatch->setToolTip(swatch->accessibleName());
        m_colors->addButton(swatch, i);
        swatchRow->addWidget(swatch);
    }
    m_custom->setText(tandrel::tr(QStringLiteral("Otro…"), QStringLiteral("Other…")));
    m_custom->setAccessibleName(tandrel::tr(QStringLiteral("Otro color…"), QStringLiteral("Other Color…")));
    swatchRow->addWidget(m_custom);
    swatchRow->addStretch();
    grid->addLayout(swatchRow, 0, 1);
    colorTitle->setBuddy(m_colors->button(0));
    connect(m_colors, &QButtonGroup::idClicked, this, [this](int id) {
        m_badge.color = badgePalette().at(id).name;
        m_badge.image.clear();
        updatePreview();
    });
    connect(m_custom, &QPushButton::clicked, this, &BadgeDialog::chooseCustomColor);

    auto *labelTitle = new QLabel(tandrel::tr(QStringLiteral("&Letras:"), QStringLiteral("&Letters:")), this);
    labelTitle->setBuddy(m_label);
    grid->addWidget(labelTitle, 1, 0);
    m_label->setText(m_badge.label);
    m_label->setPlaceholderText(badgeLetter(m_name));
    m_label->setMaxLength(16);
    m_label->setAccessibleName(tandrel::tr(QStringLiteral("Letras"), QStringLiteral("Letters")));
    m_label->setToolTip(tandrel::tr(QStringLiteral("Uno o dos caracteres; vacío, la inicial del nombre."),
        QStringLiteral("One or two characters; empty, the name's initial.")));
    grid->addWidget(m_label, 1, 1);
    connect(m_label, &QLineEdit::textEdited, this, [this](const QString &text) {
        const bool valid = text.isEmpty() || isValidBadgeLabel(text);
        if (valid) {
            m_badge.label = text;
            m_badge.image.clear();
        }
        m_error->setText(valid ? QString()
                               : tandrel::tr(QStringLiteral("Uno o dos caracteres visibles."),
                                   QStringLiteral("One or two visible characters.")));
        updatePreview();
    });

    auto *imageTitle = new QLabel(tandrel::tr(QStringLiteral("Imagen:"), QStringLiteral("Image:")), this);
    grid->addWidget(imageTitle, 2, 0);
    auto *imageRow = new QHBoxLayout;
    auto *chooseImage
        = new QPushButton(tandrel::tr(QStringLiteral("Elegir…"), QStringLiteral("Choose…")), this);
    chooseImage->setAccessibleName(
        tandrel::tr(QStringLiteral("Elegir una imagen…"), QStringLiteral("Choose an Image…")));
    imageTitle->setBuddy(chooseImage);
    m_removeImage->setText(tandrel::tr(QStringLiteral("Quitar"), QStringLiteral("Remove")));
    m_removeImage->setAccessibleName(
        tandrel::tr(QStringLiteral("Quitar la imagen"), QStringLiteral("Remove the Image")));
    imageRow->addWidget(chooseImage);
    imageRow->addWidget(m_removeImage);
    imageRow->addStretch();
    grid->addLayout(imageRow, 2, 1);
    connect(chooseImage, &QPushButton::clicked, this, &BadgeDialog::chooseImage);
    connect(m_removeImage, &QPushButton::clicked, this, [this] {
        m_badge.image.clear();
        updatePreview();
    });

    m_error->setWordWrap(true);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    style::setTextColor(m_error, style::destructiveText(this->palette()));
    column->addWidget(m_error);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(
        tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    m_save = buttons->addButton(
        tandrel::tr(QStringLiteral("Guardar"), QStringLiteral("Save")), QDialogButtonBox::AcceptRole);
    m_save->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);

    // The app's own icon under the badge, read in the background like every list's icons.
    if (space.targetPath) {
        const QString target = *space.targetPath;
        m_appIcon = IconCache::shared().icon(target);
        connect(&IconCache::shared(), &IconCache::iconLoaded, this, [this, target](const QString &loaded) {
            if (loaded == target) {
                m_appIcon = IconCache::shared().icon(target);
                updatePreview();
            }
        });
    }
    updatePreview();
}

QList<QAbstractButton *> BadgeDialog::swatches() const
{
    return m_colors->buttons();
}

void BadgeDialog::chooseCustomColor()
{
    const QColor color = QColorDialog::getColor(badgeColorValue(m_badge.color), this,
        tandrel::tr(QStringLiteral("Color del distintivo"), QStringLiteral("Badge Color")));
    if (!color.isValid())
        return;
    m_badge.color = color.name(QColor::HexRgb).toLower();
    m_badge.image.clear();
    updatePreview();
}

void BadgeDialog::chooseImage()
{
    const QString path = QFileDialog::getOpenFileName(this,
        tandrel::tr(QStringLiteral("Imagen del distintivo"), QStringLiteral("Badge Image")), QString(),
        tandrel::tr(QStringLiteral("Imágenes"), QStringLiteral("Images"))
            + QStringLiteral(" (*.png *.jpg *.jpeg *.gif *.bmp *.svg *.webp)"));
    if (!path.isEmpty())
        useImageFile(path);
}

void BadgeDialog::useImageFile(const QString &path)
{
    // Reading and scaling a photo of many megapixels is not for the main thread.
    auto *watcher = new QFutureWatcher<std::pair<QByteArray, QString>>(this);
    m_save->setEnabled(false);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const auto [image, error] = watcher->result();
        watcher->deleteLater();
        m_save->setEnabled(true);
        m_error->setText(error);
        if (!image.isEmpty())
            m_badge.image = image;
        updatePreview();
    });
    watcher->setFuture(QtConcurrent::run([path]() -> std::pair<QByteArray, QString> {
        try {
            return { badgeImageFromFile(path), QString() };
        } catch (const std::exception &error) {
            return { QByteArray(), QString::fromUtf8(error.what()) };
        }
    }));
}

void BadgeDialog::updatePreview()
{
    const QImage drawn
        = renderBadgedIcon(m_appIcon.isNull() ? genericApplicationIcon() : m_appIcon, m_name, m_badge);
    m_preview->setPixmap(style::iconPixmap(drawn, previewSide, devicePixelRatioF()));
    m_removeImage->setEnabled(!m_badge.image.isEmpty());
    updateSelection();
}

void BadgeDialog::updateSelection()
{
    const QList<BadgeColor> &palette = badgePalette();
    for (int i = 0; i < palette.size(); ++i) {
        QAbstractButton *swatch = m_colors->button(i);
        const bool chosen = m_badge.image.isEmpty() && m_badge.color == palette[i].name;
        swatch->setChecked(chosen);
        swatch->setIcon(swatchIcon(palette[i].color, chosen, this->palette(), devicePixelRatioF()));
    }
}

std::optional<Badge> askForBadge(const SpaceInfo &space, QWidget *parent)
{
    if (installedAsker())
        return installedAsker()(space, parent);
    BadgeDialog dialog(space, parent);
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.badge();
}

void setBadgeAsker(BadgeAsker asker)
{
    installedAsker() = std::move(asker);
}

} // namespace tandrel
