#pragma once

#include "model/InstalledApp.h"
#include "ui/CreateSheet.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QScrollArea;

namespace tandrel {

class Announcer;
class AppsSection;
class Header;
class SpacesSection;
class Store;

// The content of one window: header with search, the instances and the app grid,
// on a backdrop. It owns the window's Store, and tells assistive technology the outcome of
// a refresh, a creation or a deletion.
class ContentView : public QWidget
{
    Q_OBJECT
public:
    // applicationFolders replaces the folders searched for apps (tests pass temporary ones).
    explicit ContentView(
        std::optional<QStringList> applicationFolders = std::nullopt, QWidget *parent = nullptr);
    ~ContentView() override;

    Store &store() const { return *m_store; }
    QString search() const { return m_search; }
    const std::optional<InstalledApp> &selectedApp() const { return m_selectedApp; }
    void setSelectedApp(std::optional<InstalledApp> app);

    // Puts the focus in the search field, its text selected.
    void focusSearch();
    // Rescans the apps and the instances.
    void refresh();

    // Derived afresh from the Store and the search at every call.
    QList<InstalledApp> filteredApps() const;
    QList<InstalledApp> duplicables() const;
    QList<InstalledApp> nonDuplicables() const;

    // The sheet shown while an app is selected.
    CreateSheet *createSheet() const { return m_sheet; }
    Header *header() const { return m_header; }
    SpacesSection *spacesSection() const { return m_spacesSection; }
    AppsSection *appsSection() const { return m_appsSection; }
    QScrollArea *scrollArea() const { return m_scrollArea; }
    Announcer *announcer() const { return m_announcer; }

Q_SIGNALS:
    void selectedAppChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setSearch(const QString &search);
    void updateApps();
    void updateSpaces();
    void updateTabOrder();
    void retranslate();

    std::unique_ptr<Store> m_store;
    QString m_search;
    std::optional<InstalledApp> m_selectedApp;
    QPointer<CreateSheet> m_sheet;
    Header *m_header = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    SpacesSection *m_spacesSection = nullptr;
    AppsSection *m_appsSection = nullptr;
    Announcer *m_announcer = nullptr;
};

} // namespace tandrel
