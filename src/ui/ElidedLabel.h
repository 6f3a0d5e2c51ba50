#pragma once

#include <QWidget>

namespace tandrel {

// One line of text that is cut in the middle when it does not fit, keeping its start and end;
// the whole text is its accessible name and, while it is cut, its tooltip.
class ElidedLabel : public QWidget
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    QString displayedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateToolTip();

    QString m_text;
};

} // namespace tandrel
