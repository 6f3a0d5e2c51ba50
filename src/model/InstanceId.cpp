#include "model/InstanceId.h"

#include <QRegularExpression>
#include <QUuid>

namespace tandrel {

bool isInstanceId(const QString &text)
{
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return text.size() == 36 && uuid.match(text).hasMatch();
}

QString newInstanceId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
}

} // namespace tandrel
