#include "ui/LinksDialog.h"

#include "l10n/Tr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tandrel {
namespace {

LinkRuleAsker &installedAsker()
{
    static LinkRuleAsker asker;
    return asker;
}

std::optional<LinkRule> askWithSheet(
    const std::optional<LinkRule> &rule, const QList<Store::LinkTarget> &targets, QWidget *parent)
{
    QDialog sheet(parent);
    sheet.setWindowTitle(rule ? tandrel::tr(QStringLiteral("Editar regla"), QStringLiteral("Edit Rule"))
                              : tandrel::tr(QStringLiteral("Nueva regla"), QStringLiteral("New Rule")));
    auto *form = new QFormLayout(&sheet);
    auto *site = new QLineEdit(rule ? siteForDisplay(rule->site) : QString(), &sheet);
    site->setPlaceholderText(QStringLiteral("example.com"));
    site->setAccessibleName(tandrel::tr(QStringLiteral("Sitio"), QStringLiteral("Site")));
    form->addRow(tandrel::tr(QStringLiteral("Sitio:"), QStringLiteral("Site:")), site);
    auto *subdomains = new QCheckBox(
        tandrel::tr(QStringLiteral("También sus subdominios"), QStringLiteral("Its subdomains too")), &sheet);
    subdomains->setChecked(!rule || rule->subdomains);
    form->addRow(QString(), subdomains);
    auto *target = new QComboBox(&sheet);
    target->setAccessibleName(tandrel::tr(QStringLiteral("Abrir en"), QStringLiteral("Open in")));
    for (const Store::LinkTarget &each : targets)
        target->addItem(each.name, each.key);
    if (rule)
        target->setCurrentIndex(qMax(0, target->findData(rule->target)));
    form->addRow(tandrel::tr(QStringLiteral("Abrir en:"), QStringLiteral("Open in:")), target);
    auto *error = new QLabel(&sheet);
    error->setWordWrap(true);
    error->hide();
    form->addRow(error);
    auto *buttons = new QDialogButtonBox(&sheet);
    buttons->addButton(
        tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    QPushButton *save = buttons->addButton(
        tandrel::tr(QStringLiteral("Guardar"), QStringLiteral("Save")), QDialogButtonBox::AcceptRole);
    save->setDefault(true);
    save->setEnabled(!targets.isEmpty());
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &sheet, [&] {
        if (!parseSite(site->text())) {
            error->setText(tandrel::tr(QStringLiteral("Escribe un sitio como ejemplo.com."),
                QStringLiteral("Write a site such as example.com.")));
            error->show();
            site->setFocus();
            return;
        }
        sheet.accept();
    });
    if (sheet.exec() != QDialog::Accepted)
        return std::nullopt;
    return LinkRule { parseSite(site->text()).value_or(QString()), subdomains->isChecked(),
        target->currentData().toString() };
}

} // namespace

void setLinkRuleAsker(LinkRuleAsker asker)
{
    installedAsker() = std::move(asker);
}

LinksDialog::LinksDialog(Store &store, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
{
    setWindowTitle(tandrel::tr(QStringLiteral("Enlaces"), QStringLiteral("Links")));
    auto *layout = new QVBoxLayout(this);
    m_handler = new QCheckBox(tandrel::tr(QStringLiteral("Elegir la cuenta de los enlaces"),
                                  QStringLiteral("Choose the account for links")),
        this);
    m_handler->setChecked(Store::isLinkHandler());
    connect(m_handler, &QCheckBox::toggled, this, &LinksDialog::setHandler);
    layout->addWidget(m_handler);
    auto *explanation = new QLabel(
        tandrel::tr(
            QStringLiteral("Los enlaces que abras en otras apps pasan por Tandrel: se abren donde diga una "
                           "regla o, si ninguna coincide, te pregunta dónde. Al desactivarlo vuelven al "
                           "navegador de antes."),
            QStringLiteral("Links you open in other apps go through Tandrel: they open where a rule says or, "
                           "when none matches, it asks you where. Turning this off gives them back to the "
                           "browser they went to before.")),
        this);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    m_rules = new QTreeWidget(this);
    m_rules->setAccessibleName(tandrel::tr(QStringLiteral("Reglas"), QStringLiteral("Rules")));
    m_rules->setRootIsDecorated(false);
    m_rules->setHeaderLabels({ tandrel::tr(QStringLiteral("Sitio"), QStringLiteral("Site")),
        tandrel::tr(QStringLiteral("Se abre en"), QStringLiteral("Opens in")) });
    m_rules->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(m_rules, &QTreeWidget::itemActivated, this, [this] {
        const int row = m_rules->indexOfTopLevelItem(m_rules->currentItem());
        if (row >= 0 && row < m_shown.size())
            editRule(m_shown[row]);
    });
    layout->addWidget(m_rules, 1);

    auto *row = new QHBoxLayout;
    auto *add = new QPushButton(tandrel::tr(QStringLiteral("Añadir…"), QStringLiteral("Add…")), this);
    connect(add, &QPushButton::clicked, this, [this] { editRule(std::nullopt); });
    m_edit = new QPushButton(tandrel::tr(QStringLiteral("Editar…"), QStringLiteral("Edit…")), this);
    connect(m_edit, &QPushButton::clicked, this, [this] {
        const int at = m_rules->indexOfTopLevelItem(m_rules->currentItem());
        if (at >= 0 && at < m_shown.size())
            editRule(m_shown[at]);
    });
    m_remove = new QPushButton(tandrel::tr(QStringLiteral("Quitar"), QStringLiteral("Remove")), this);
    connect(m_remove, &QPushButton::clicked, this, &LinksDialog::removeSelectedRule);
    row->addWidget(add);
    row->addWidget(m_edit);
    row->addWidget(m_remove);
    row->addStretch();
    auto *close = new QPushButton(tandrel::tr(QStringLiteral("Cerrar"), QStringLiteral("Close")), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(close);
    layout->addLayout(row);
    connect(m_rules, &QTreeWidget::currentItemChanged, this, [this] {
        m_edit->setEnabled(m_rules->currentItem());
        m_remove->setEnabled(m_rules->currentItem());
    });
    reload();
    resize(520, 380);
}

void LinksDialog::reload()
{
    m_targets = Store::linkTargets(m_store.spaces());
    m_shown = Store::linkRules(m_store.spaces());
    m_rules->clear();
    for (const LinkRule &rule : std::as_const(m_shown)) {
        QString name = rule.target;
        for (const Store::LinkTarget &target : std::as_const(m_targets)) {
            if (target.key == rule.target)
                name = target.name;
        }
        const QString site = siteForDisplay(rule.site);
        new QTreeWidgetItem(m_rules,
            { rule.subdomains
                    ? site + tandrel::tr(QStringLiteral(" y subdominios"), QStringLiteral(" and subdomains"))
                    : site,
                name });
    }
    m_rules->setCurrentItem(m_rules->topLevelItem(0));
    m_edit->setEnabled(m_rules->currentItem());
    m_remove->setEnabled(m_rules->currentItem());
}

void LinksDialog::editRule(const std::optional<LinkRule> &rule)
{
    const LinkRuleAsker &asker = installedAsker();
    const std::optional<LinkRule> edited
        = asker ? asker(rule, m_targets, this) : askWithSheet(rule, m_targets, this);
    if (!edited)
        return;
    try {
        if (rule && rule->site != edited->site)
            Store::removeLinkRule(rule->site);
        Store::addLinkRule(*edited, m_store.spaces());
    } catch (const std::exception &error) {
        showError(QString::fromUtf8(error.what()));
    }
    reload();
}

void LinksDialog::removeSelectedRule()
{
    const int at = m_rules->indexOfTopLevelItem(m_rules->currentItem());
    if (at < 0 || at >= m_shown.size())
        return;
    try {
        Store::removeLinkRule(m_shown[at].site);
    } catch (const std::exception &error) {
        showError(QString::fromUtf8(error.what()));
    }
    reload();
}

void LinksDialog::setHandler(bool on)
{
    if (on == Store::isLinkHandler())
        return;
    if (!on) {
        Store::stopBeingLinkHandler();
        return;
    }
    if (!Store::becomeLinkHandler(QCoreApplication::applicationFilePath())) {
        const QSignalBlocker blocker(m_handler);
        m_handler->setChecked(false);
        showError(tandrel::tr(QStringLiteral("El escritorio no dejó que Tandrel abra los enlaces."),
            QStringLiteral("The desktop didn't let Tandrel open links.")));
    }
}

void LinksDialog::showError(const QString &message)
{
    QMessageBox::warning(this, windowTitle(), message);
}

} // namespace tandrel
