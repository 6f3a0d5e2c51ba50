#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>

namespace tandrel {

// A question before a destructive action: the action's button comes first and is the default.
struct Confirmation
{
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString message;
    QString informativeText;
    QString actionTitle;
    QString cancelTitle;
    QWidget *parent = nullptr;
};

// Answers whether the user chose the action. Tests replace it to answer without a modal loop.
using Confirmer = std::function<bool(const Confirmation &)>;

// Something the user must hear about after an action, with one OK button.
struct Notice
{
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString message;
    QString informativeText;
    QWidget *parent = nullptr;
};
using Informer = std::function<void(const Notice &)>;

// A question whose answer is a name, with the name as it stands to edit.
struct NameQuestion
{
    QString title;
    QString label;
    QString name;
    QWidget *parent = nullptr;
};
// The name given, or nothing when the question was cancelled.
using NameAsker = std::function<std::optional<QString>(const NameQuestion &)>;

// Asks through the installed confirmer (by default a modal message box).
bool confirm(const Confirmation &confirmation);
// Replaces the confirmer; an empty one restores the message box.
void setConfirmer(Confirmer confirmer);
// Tells through the installed informer (by default a modal message box).
void inform(const Notice &notice);
// Replaces the informer (tests); an empty one restores the message box.
void setInformer(Informer informer);
// Asks through the installed asker (by default an input dialog).
std::optional<QString> askForName(const NameQuestion &question);
// Replaces the asker (tests); an empty one restores the dialog.
void setNameAsker(NameAsker asker);

} // namespace tandrel
