#pragma once

#include "model/LinkRules.h"
#include "model/Store.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace tandrel {

// Links in the window: whether Tandrel chooses the account for links (it becomes the
// desktop's handler of web links), and the rules, each a site and where it opens, to add,
// edit and remove.
class LinksDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LinksDialog(Store &store, QWidget *parent = nullptr);

    QCheckBox *handlerBox() const { return m_handler; }
    QTreeWidget *ruleList() const { return m_rules; }
    // Adds or, with a rule given, edits one through the rule sheet; the list follows.
    void editRule(const std::optional<LinkRule> &rule);
    void removeSelectedRule();

private:
    void reload();
    void setHandler(bool on);
    void showError(const QString &message);

    Store &m_store;
    QList<LinkRule> m_shown;
    QList<Store::LinkTarget> m_targets;
    QCheckBox *m_handler = nullptr;
    QTreeWidget *m_rules = nullptr;
    QPushButton *m_edit = nullptr;
    QPushButton *m_remove = nullptr;
};

// The sheet for one rule: the site, whether its subdomains follow, and the target.
// Nothing when cancelled. Tests answer it without a modal loop.
using LinkRuleAsker = std::function<std::optional<LinkRule>(
    const std::optional<LinkRule> &rule, const QList<Store::LinkTarget> &targets, QWidget *parent)>;
void setLinkRuleAsker(LinkRuleAsker asker);

} // namespace tandrel
