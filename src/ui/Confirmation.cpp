#include "ui/Confirmation.h"

#include <QTextDocument>

#include <QInputDialog>
#include <QPushButton>

#include <utility>

namespace tandrel {
namespace {

bool askWithMessageBox(const Confirmation &confirmation)
{
    QMessageBox box(confirmation.parent);
    box.setIcon(confirmation.icon);
    box.setText(confirmation.message);
    box.setInformativeText(confirmation.informativeText);
    box.setWindowModality(confirmation.parent ? Qt::WindowModal : Qt::ApplicationModal);
    QPushButton *action = box.addButton(confirmation.actionTitle, QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(confirmation.cancelTitle, QMessageBox::RejectRole);
    box.setDefaultButton(action);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == action;
}

Confirmer &installed()
{
    static Confirmer confirmer;
    return confirmer;
}

Informer &installedInformer()
{
    static Informer informer;
    return informer;
}

} // namespace

bool confirm(const Confirmation &confirmation)
{
    return installed() ? installed()(confirmation) : askWithMessageBox(confirmation);
}

void setConfirmer(Confirmer confirmer)
{
    installed() = std::move(confirmer);
}

} // namespace tandrel

namespace tandrel {

void inform(const Notice &notice)
{
    if (installedInformer()) {
        installedInformer()(notice);
        return;
    }
    QMessageBox box(notice.parent);
    box.setIcon(notice.icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(notice.message);
    // What an app printed is shown as it was written, never as markup.
    box.setInformativeText(Qt::mightBeRichText(notice.informativeText)
            ? Qt::convertFromPlainText(notice.informativeText, Qt::WhiteSpacePre)
            : notice.informativeText);
    box.setWindowModality(notice.parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.addButton(QMessageBox::Ok);
    box.exec();
}

void setInformer(Informer informer)
{
    installedInformer() = std::move(informer);
}

namespace {
NameAsker &installedAsker()
{
    static NameAsker asker;
    return asker;
}
} // namespace

std::optional<QString> askForName(const NameQuestion &question)
{
    if (installedAsker())
        return installedAsker()(question);
    QInputDialog dialog(question.parent);
    dialog.setWindowTitle(question.title);
    dialog.setLabelText(question.label);
    dialog.setTextValue(question.name);
    dialog.setWindowModality(question.parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void setNameAsker(NameAsker asker)
{
    installedAsker() = std::move(asker);
}

} // namespace tandrel
