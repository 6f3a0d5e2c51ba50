#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QVariantMap>

#include <array>
#include <initializer_list>
#include <optional>

// Quick lookups in property lists, for the questions asked of every installed app at every
// refresh: a few top-level keys, without building the tree that readPropertyList builds.
// Each scan either gives exactly what readPropertyList would give for those keys, or
// nothing ("not sure"): anything it does not fully understand, whereupon callers use the
// full reader. readTopLevel and readSandboxEntitlement do both in one call.
namespace tandrel {

// At most this many keys are looked up in one scan.
inline constexpr int maxScannedKeys = 8;

// What a scan found for the keys it was asked for.
class PlistTopLevel
{
public:
    // True when the root dictionary has the key, whatever its value.
    bool contains(QLatin1StringView key) const { return indexOf(key) >= 0; }
    // The key's value when it is a string; nothing when the key is absent or holds another
    // type (contains() tells the two apart).
    std::optional<QString> string(QLatin1StringView key) const;

    // For the readers: records what the dictionary holds for a key.
    void set(QLatin1StringView key, std::optional<QString> value);

private:
    int indexOf(QLatin1StringView key) const;

    std::array<QLatin1StringView, maxScannedKeys> m_keys;
    std::array<std::optional<QString>, maxScannedKeys> m_values;
    int m_count = 0;
};

// The asked-for top-level keys of a property list (XML or binary) whose root is a
// dictionary. Keys are non-empty ASCII, at most maxScannedKeys of them. Nothing when not sure.
std::optional<PlistTopLevel> scanTopLevel(
    QByteArrayView bytes, std::initializer_list<QLatin1StringView> keys);

// The same, answered by the full reader when the scan is not sure; nothing only when the
// property list is unreadable.
std::optional<PlistTopLevel> readTopLevel(
    QByteArrayView bytes, std::initializer_list<QLatin1StringView> keys);

// Whether entitlements turn the app sandbox on, from the XML (or binary) entitlements blob
// of a code signature: com.apple.security.app-sandbox true, a non-zero integer or a
// non-zero real. False for false, zero, a string such as "true", any other type or no such
// key. Nothing when not sure.
std::optional<bool> scanSandboxEntitlement(QByteArrayView entitlements);

// The same, with the full reader when the scan is not sure; false when unreadable.
bool readSandboxEntitlement(QByteArrayView entitlements);

// The rule itself, applied to entitlements that readPropertyList has read.
bool sandboxEntitlementIn(const QVariantMap &entitlements);

} // namespace tandrel
