#include "model/SpaceRecord.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

namespace tandrel {
namespace {

std::optional<QString> stringMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

QByteArray SpaceRecord::toJson() const
{
    QJsonObject object {
        { QStringLiteral("id"), id },
        { QStringLiteral("name"), name },
        { QStringLiteral("target"), target },
        { QStringLiteral("mode"), strategyText(mode) },
        { QStringLiteral("dataDir"), dataDir },
        { QStringLiteral("createdAt"), formatIsoDateTime(createdAt) },
    };
    if (const QJsonObject look = badgeToJson(badge); !look.isEmpty())
        object.insert(QStringLiteral("badge"), look);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

SpaceRecordFacts readSpaceRecord(const QByteArray &json)
{
    SpaceRecordFacts facts;
    if (json.size() > maxSpaceRecordSize)
        return facts;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return facts;
    const QJsonObject object = document.object();
    facts.id = stringMember(object, QStringLiteral("id"));
    facts.name = stringMember(object, QStringLiteral("name"));
    facts.mode = stringMember(object, QStringLiteral("mode"));
    facts.target = stringMember(object, QStringLiteral("target"));
    facts.dataDir = stringMember(object, QStringLiteral("dataDir"));
    if (const auto created = stringMember(object, QStringLiteral("createdAt")))
        facts.createdAt = parseIsoDateTime(*created);
    facts.badge = badgeFromJson(object.value(QStringLiteral("badge")).toObject());
    return facts;
}

QString formatIsoDateTime(const QDateTime &moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> parseIsoDateTime(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(?:(Z)|([+-])([0-9]{2}):([0-9]{2}))$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const auto number = [&match](int group) { return match.capturedView(group).toInt(); };
    const QDate date(number(1), number(2), number(3));
    const QTime time(number(4), number(5), number(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    int offsetSeconds = 0;
    if (match.capturedView(7).isEmpty()) {
        const int hours = number(9);
        const int minutes = number(10);
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        offsetSeconds = (hours * 60 + minutes) * 60;
        if (match.capturedView(8) == QLatin1String("-"))
            offsetSeconds = -offsetSeconds;
    }
    const QDateTime moment(date, time, QTimeZone(offsetSeconds));
    if (!moment.isValid())
        return std::nullopt;
    return moment.toUTC();
}

} // namespace tandrel
