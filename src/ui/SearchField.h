#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tandrel {

// A borderless line edit with a magnifying glass, on a faintly tinted rounded background
// that is ringed while the edit has the focus. Escape clears it; Enter and Down are passed
// on as signals.
class SearchField : public QWidget
{
    Q_OBJECT
public:
    explicit SearchField(QWidget *parent = nullptr);

    QLineEdit *lineEdit() const { return m_edit; }
    QString text() const;
    void retranslate();

Q_SIGNALS:
    void textChanged(const QString &text);
    // Enter: the first result is wanted; Down: the results are.
    void accepted();
    void downPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateIcon();

    QLabel *m_icon = nullptr;
    QLineEdit *m_edit = nullptr;
};

} // namespace tandrel
