// The quick lookups against the full reader over arbitrary bytes: wherever a scan answers,
// it must give what readPropertyList gives for the same keys, and the sandbox question
// what the full parse answers. A binary list the full reader refuses for a flaw the direct
// lookup never reads is the one difference allowed (see PlistScan.cpp).
#include "FuzzInput.h"

#include "formats/PlistScan.h"
#include "formats/PropertyList.h"

namespace {

using tandrel::PlistTopLevel;

const QLatin1StringView keys[] = {
    QLatin1StringView("CFBundleExecutable"),
    QLatin1StringView("CFBundleIdentifier"),
    QLatin1StringView("com.apple.security.app-sandbox"),
    QLatin1StringView("LSUIElement"),
    QLatin1StringView("a"),
    QLatin1StringView("k"),
    QLatin1StringView("c"),
    QLatin1StringView("nested"),
};

bool sameAsFull(const PlistTopLevel &scanned, const QVariantMap &full)
{
    for (const QLatin1StringView key : keys) {
        const auto value = full.constFind(key);
        if (scanned.contains(key) != (value != full.cend()))
            return false;
        if (value == full.cend())
            continue;
        const std::optional<QString> text = scanned.string(key);
        if (value->typeId() == QMetaType::QString ? text != value->toString() : text.has_value())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = tandrel::fuzz::rawBytes(data, size);
    const bool binary = bytes.startsWith("bplist00");
    const std::optional<PlistTopLevel> scanned = tandrel::scanTopLevel(
        bytes, { keys[0], keys[1], keys[2], keys[3], keys[4], keys[5], keys[6], keys[7] });
    const std::optional<bool> sandbox = tandrel::scanSandboxEntitlement(bytes);
    if (!scanned && !sandbox)
        return 0;
    const std::optional<QVariantMap> full = tandrel::readPropertyList(bytes);
    if (!full && binary)
        return 0;
    if (scanned && (!full || !sameAsFull(*scanned, *full)))
        __builtin_trap();
    if (sandbox && *sandbox != (full && tandrel::sandboxEntitlementIn(*full)))
        __builtin_trap();
    return 0;
}
