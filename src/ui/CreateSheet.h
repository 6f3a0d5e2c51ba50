#pragma once

#include "model/InstalledApp.h"
#include "model/Mode.h"

#include <QDialog>
#include <QUrl>

#include <optional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tandrel {

class Announcer;
class Store;

// The window-modal sheet that turns an app into a new instance: name, isolation mode,
// a warning for sandboxed apps, the refusal of the last attempt, Cancel and Create.
class CreateSheet : public QDialog
{
    Q_OBJECT
public:
    CreateSheet(InstalledApp app, Store *store, QWidget *parent = nullptr);

    const InstalledApp &app() const { return m_app; }
    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    std::optional<QString> errorMessage() const { return m_errorMessage; }
    bool isSandboxed() const;
    bool isCreating() const { return m_creating; }

    QLineEdit *nameField() const { return m_name; }
    QPushButton *createButton() const { return m_create; }
    QPushButton *cancelButton() const { return m_cancel; }
    QWidget *sandboxWarning() const { return m_warning; }
    QLabel *errorLabel() const { return m_error; }
    // Tells assistive technology of each refusal as it is shown.
    Announcer *alert() const { return m_alert; }
    QLabel *helpLabel() const { return m_help; }
    QList<QPushButton *> modeButtons() const { return m_modeButtons; }

    void retranslate();

protected:
    void changeEvent(QEvent *event) override;

private:
    void create();
    void updateState();
    void updateColors();

    InstalledApp m_app;
    Store *m_store = nullptr;
    Mode m_mode = Mode::Auto;
    std::optional<QString> m_errorMessage;
    bool m_creating = false;
    QUrl m_pending; // the wrapper being signed

    QLabel *m_title = nullptr;
    QLabel *m_subtitle = nullptr;
    QLineEdit *m_name = nullptr;
    QList<QPushButton *> m_modeButtons;
    QButtonGroup *m_modeGroup = nullptr;
    QLabel *m_help = nullptr;
    QWidget *m_warning = nullptr;
    QLabel *m_lock = nullptr;
    QLabel *m_warningText = nullptr;
    QLabel *m_error = nullptr;
    Announcer *m_alert = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_create = nullptr;
};

} // namespace tandrel
