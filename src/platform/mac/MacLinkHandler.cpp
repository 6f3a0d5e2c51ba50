// Launch Services keeps the default handler of each URL scheme; Tandrel's bundle declares
// http and https (CFBundleURLTypes in its Info.plist), and links then arrive as open-URL
// events, which the application turns into routing.
#include "platform/LinkHandler.h"

#include <QSettings>

#include <CoreServices/CoreServices.h>

namespace tandrel::linkhandler {
namespace {

const CFStringRef schemes[] = { CFSTR("http"), CFSTR("https") };
const CFStringRef ownIdentifier = CFSTR("io.tandrel.Tandrel");

QString text(CFStringRef string)
{
    if (!string)
        return {};
    const CFIndex length = CFStringGetLength(string);
    QString result(length, Qt::Uninitialized);
    CFStringGetCharacters(string, CFRangeMake(0, length), reinterpret_cast<UniChar *>(result.data()));
    return result;
}

QString previousKey(CFStringRef scheme)
{
    return QStringLiteral("links/previous/") + text(scheme);
}

QString defaultFor(CFStringRef scheme)
{
    const CFStringRef handler = LSCopyDefaultHandlerForURLScheme(scheme);
    const QString identifier = text(handler);
    if (handler)
        CFRelease(handler);
    return identifier;
}

bool setDefault(CFStringRef scheme, const QString &identifier)
{
    const CFStringRef bundle = CFStringCreateWithCharacters(
        nullptr, reinterpret_cast<const UniChar *>(identifier.utf16()), identifier.size());
    const OSStatus status = LSSetDefaultHandlerForURLScheme(scheme, bundle);
    CFRelease(bundle);
    return status == noErr;
}

} // namespace

bool isDefault()
{
    for (CFStringRef scheme : schemes) {
        if (defaultFor(scheme).compare(text(ownIdentifier), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

bool makeDefault(const QString &)
{
    QSettings settings;
    for (CFStringRef scheme : schemes) {
        const QString previous = defaultFor(scheme);
        if (previous.compare(text(ownIdentifier), Qt::CaseInsensitive) != 0)
            settings.setValue(previousKey(scheme), previous);
        if (!setDefault(scheme, text(ownIdentifier))) {
            restoreDefaults();
            return false;
        }
    }
    return true;
}

void restoreDefaults()
{
    QSettings settings;
    for (CFStringRef scheme : schemes) {
        const QString previous = settings.value(previousKey(scheme)).toString();
        settings.remove(previousKey(scheme));
        if (defaultFor(scheme).compare(text(ownIdentifier), Qt::CaseInsensitive) != 0)
            continue; // the user chose another since
        // Without one remembered, Safari is what macOS itself starts with.
        setDefault(scheme, previous.isEmpty() ? QStringLiteral("com.apple.Safari") : previous);
    }
}

} // namespace tandrel::linkhandler
