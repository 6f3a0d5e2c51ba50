#include "ui/LinkChooser.h"

#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "model/LinkRules.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tandrel {
namespace {

constexpr int iconSide = 32;

QIcon iconFrom(const QImage &image)
{
    return image.isNull() ? QIcon()
                          : QIcon(QPixmap::fromImage(image.scaled(
                              iconSide * 2, iconSide * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace

LinkChooser::LinkChooser(const QUrl &link, const QList<Store::LinkTarget> &targets, QWidget *parent)
    : QDialog(parent)
    , m_targets(targets)
{
    setWindowTitle(tandrel::tr(QStringLiteral("Abrir enlace"), QStringLiteral("Open Link")));
    setAccessibleName(windowTitle());
    auto *layout = new QVBoxLayout(this);
    auto *question = new QLabel(tandrel::tr(QStringLiteral("¿Dónde quieres abrir este enlace?"),
                                    QStringLiteral("Where should this link open?")),
        this);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    layout->addWidget(question);

    auto *address = new QLineEdit(link.toDisplayString(), this);
    address->setReadOnly(true);
    address->setCursorPosition(0);
    address->setAccessibleName(
        tandrel::tr(QStringLiteral("Dirección del enlace"), QStringLiteral("Link address")));
    address->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(address);

    m_list = new QListWidget(this);
    m_list->setAccessibleName(tandrel::tr(QStringLiteral("Abrir en"), QStringLiteral("Open in")));
    m_list->setIconSize(QSize(iconSide, iconSide));
    m_list->setUniformItemSizes(true);
    for (qsizetype i = 0; i < m_targets.size(); ++i) {
        const Store::LinkTarget &target = m_targets[i];
        const QString number
            = i < 9 ? QString::number(i + 1) + QStringLiteral("   ") : QStringLiteral("     ");
        auto *item = new QListWidgetItem(number + target.name, m_list);
        item->setData(Qt::AccessibleTextRole, target.name);
        item->setToolTip(target.instance
                ? tandrel::tr(QStringLiteral("Instancia"), QStringLiteral("Instance"))
                : tandrel::tr(QStringLiteral("App original"), QStringLiteral("Original app")));
    }
    connect(&IconCache::shared(), &IconCache::iconLoaded, this, &LinkChooser::showIcon);
    m_list->setCurrentRow(0);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    m_list->setMinimumHeight(int(qMin<qsizetype>(m_targets.size(), 6)) * (iconSide + 12) + 8);
    layout->addWidget(m_list, 1);

    if (m_targets.isEmpty()) {
        auto *none
            = new QLabel(tandrel::tr(QStringLiteral("No hay ningún navegador ni instancia que abra enlaces."),
                             QStringLiteral("No browser or instance can open links.")),
                this);
        none->setWordWrap(true);
        layout->addWidget(none);
    }

    const QString site = siteForDisplay(offeredSite(link));
    m_remember = new QCheckBox(tandrel::tr(QStringLiteral("Abrir siempre ") + site + QStringLiteral(" aquí"),
                                   QStringLiteral("Always open ") + site + QStringLiteral(" here")),
        this);
    layout->addWidget(m_remember);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(
        tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    m_open = buttons->addButton(
        tandrel::tr(QStringLiteral("Abrir"), QStringLiteral("Open")), QDialogButtonBox::AcceptRole);
    m_open->setDefault(true);
    m_open->setEnabled(!m_targets.isEmpty());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);
    layout->addWidget(buttons);
    m_list->setFocus();
    resize(460, sizeHint().height());
}

std::optional<LinkChoice> LinkChooser::choice() const
{
    const int row = m_list->currentRow();
    if (result() != QDialog::Accepted || row < 0 || row >= m_targets.size())
        return std::nullopt;
    return LinkChoice { m_targets[row].key, m_remember->isChecked() };
}

// The list would take a digit for a search by its first letter: 1 to 9 choose first.
bool LinkChooser::eventFilter(QObject *watched, QEvent *event)
{
    // Icons are read once the first frame is out: decoding a score of them would hold it back.
    if (event->type() == QEvent::Paint && watched == m_list->viewport() && !m_iconsAsked) {
        m_iconsAsked = true;
        QTimer::singleShot(0, this, [this] {
            for (qsizetype i = 0; i < m_targets.size(); ++i)
                m_list->item(int(i))->setIcon(iconFrom(IconCache::shared().icon(m_targets[i].iconPath)));
        });
    }
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *press = static_cast<QKeyEvent *>(event);
    const int key = press->key();
    if (key < Qt::Key_1 || key > Qt::Key_9 || (press->modifiers() & ~Qt::KeypadModifier))
        return QDialog::eventFilter(watched, event);
    const int row = key - Qt::Key_1;
    if (row < m_targets.size()) {
        m_list->setCurrentRow(row);
        accept();
    }
    return true;
}

void LinkChooser::showIcon(const QString &path)
{
    for (qsizetype i = 0; i < m_targets.size(); ++i) {
        if (m_targets[i].iconPath == path)
            m_list->item(int(i))->setIcon(iconFrom(IconCache::shared().icon(path)));
    }
}

std::optional<LinkChoice> chooseLinkTarget(const QUrl &link, const QList<Store::LinkTarget> &targets)
{
    LinkChooser chooser(link, targets);
    // It answers a click in another app: in front, and ready for the keyboard.
    chooser.show();
    chooser.raise();
    chooser.activateWindow();
    chooser.exec();
    return chooser.choice();
}

void showLinkError(const QString &message)
{
    QMessageBox::warning(nullptr, QStringLiteral("Tandrel"), message);
}

} // namespace tandrel
