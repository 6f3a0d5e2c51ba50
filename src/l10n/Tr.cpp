#include "l10n/Tr.h"

#include "l10n/LanguageManager.h"

namespace tandrel {

QString tr(const QString &spanish, const QString &english)
{
    return LanguageManager::shared().isSpanish() ? spanish : english;
}

} // namespace tandrel
