#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace tandrel {

// The interface language: Spanish or English, chosen by the user or taken from
// the system's preferred languages. One instance lives for the whole process.
class LanguageManager : public QObject
{
    Q_OBJECT
public:
    enum class Choice { Auto, Es, En };

    // The user-defaults key that persists the choice.
    static constexpr auto settingsKey = "languageOverride";

    static LanguageManager &shared();

    Choice choice() const { return m_choice; }
    // Stores the choice, notifies observers and persists it, also when it is unchanged.
    void setChoice(Choice choice);
    // The choice for this run only (a command-line option): nothing is persisted.
    void setChoiceForThisRun(Choice choice);

    // Whether Spanish is in force now; for Auto the system's languages are asked afresh.
    bool isSpanish() const;

    static QString rawValue(Choice choice);
    // Exact, case-sensitive match of "auto", "es" or "en".
    static std::optional<Choice> choiceFromRawValue(const QString &raw);
    static QList<Choice> allChoices() { return { Choice::Auto, Choice::Es, Choice::En }; }

    // The decision for Auto: the first preferred language tag whose language is
    // Spanish or English decides; when none is, English.
    static bool prefersSpanish(const QStringList &preferredLanguages);

Q_SIGNALS:
    void choiceChanged(tandrel::LanguageManager::Choice choice);

private:
    friend class LanguageManagerTest;
    LanguageManager();

    Choice m_choice = Choice::Auto;
};

} // namespace tandrel
