#pragma once

#include <QWidget>

class QLabel;
class QMenu;
class QToolButton;

namespace tandrel {

class SearchField;

// The top of the window: logo, name, tagline, language menu, refresh button and search.
class Header : public QWidget
{
    Q_OBJECT
public:
    explicit Header(QWidget *parent = nullptr);

    SearchField *searchField() const { return m_search; }
    QToolButton *languageButton() const { return m_language; }
    QToolButton *refreshButton() const { return m_refresh; }
    QMenu *languageMenu() const { return m_languageMenu; }

    // The header's logo: the bundled logo, else the application's icon.
    static QImage logoImage(const QString &resource = QStringLiteral(":/logo.png"));

    void retranslate();

Q_SIGNALS:
    void refreshRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    void rebuildLanguageMenu();
    void updateColors();

    QLabel *m_tagline = nullptr;
    QToolButton *m_language = nullptr;
    QMenu *m_languageMenu = nullptr;
    QToolButton *m_refresh = nullptr;
    SearchField *m_search = nullptr;
};

} // namespace tandrel
