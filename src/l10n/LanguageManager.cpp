#include "l10n/LanguageManager.h"

#include <QLocale>
#include <QSettings>

namespace tandrel {

LanguageManager::LanguageManager()
{
    // Reading never writes back: an unknown stored value stays until the user picks a language.
    const QString stored = QSettings().value(QLatin1String(settingsKey)).toString();
    m_choice = choiceFromRawValue(stored).value_or(Choice::Auto);
}

LanguageManager &LanguageManager::shared()
{
    static LanguageManager *instance = new LanguageManager; // lives until the process ends
    return *instance;
}

void LanguageManager::setChoice(Choice choice)
{
    m_choice = choice;
    Q_EMIT choiceChanged(choice);
    QSettings settings;
    settings.setValue(QLatin1String(settingsKey), rawValue(choice));
    settings.sync();
}

void LanguageManager::setChoiceForThisRun(Choice choice)
{
    m_choice = choice;
    Q_EMIT choiceChanged(choice);
}

bool LanguageManager::isSpanish() const
{
    switch (m_choice) {
    case Choice::Es:
        return true;
    case Choice::En:
        return false;
    case Choice::Auto:
        break;
    }
    return prefersSpanish(QLocale::system().uiLanguages());
}

QString LanguageManager::rawValue(Choice choice)
{
    switch (choice) {
    case Choice::Es:
        return QStringLiteral("es");
    case Choice::En:
        return QStringLiteral("en");
    case Choice::Auto:
        break;
    }
    return QStringLiteral("auto");
}

std::optional<LanguageManager::Choice> LanguageManager::choiceFromRawValue(const QString &raw)
{
    for (Choice choice : allChoices()) {
        if (raw == rawValue(choice))
            return choice;
    }
    return std::nullopt;
}

bool LanguageManager::prefersSpanish(const QStringList &preferredLanguages)
{
    for (const QString &tag : preferredLanguages) {
        // "es-ES", "es_MX", "en-Latn-US": the language is the part before the first separator.
        qsizetype end = 0;
        while (end < tag.size() && tag[end].isLetter())
            ++end;
        const QString language = tag.left(end).toLower();
        if (language == QLatin1String("es"))
            return true;
        if (language == QLatin1String("en"))
            return false;
    }
    return false;
}

} // namespace tandrel
