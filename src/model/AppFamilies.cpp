#include "model/AppFamilies.h"

namespace tandrel {

const QList<AppFamily> &appFamilies()
{
    static const QList<AppFamily> families {
        { QStringLiteral("Gecko"), LaunchStrategy::GeckoProfile,
            { QStringLiteral("org.mozilla"), QStringLiteral("net.waterfox"),
                QStringLiteral("io.gitlab.librewolf"), QStringLiteral("app.zen-browser") },
            { QStringLiteral("MacOS/XUL") },
            { QStringLiteral("firefox"), QStringLiteral("firefox-esr"), QStringLiteral("firefox-bin"),
                QStringLiteral("firefox-beta"), QStringLiteral("firefox-nightly"),
                QStringLiteral("firefox-developer-edition"), QStringLiteral("iceweasel"),
                QStringLiteral("librewolf"), QStringLiteral("thunderbird"), QStringLiteral("thunderbird-bin"),
                QStringLiteral("betterbird"), QStringLiteral("waterfox"), QStringLiteral("icecat"),
                QStringLiteral("seamonkey"), QStringLiteral("floorp"), QStringLiteral("zen"),
                QStringLiteral("zen-browser"), QStringLiteral("palemoon") },
            {} },
        { QStringLiteral("Chromium"), LaunchStrategy::UserDataDir,
            { QStringLiteral("com.google.Chrome"), QStringLiteral("com.microsoft.edgemac"),
                QStringLiteral("com.brave.Browser"), QStringLiteral("com.vivaldi.Vivaldi"),
                QStringLiteral("com.operasoftware"), QStringLiteral("company.thebrowser") },
            {},
            { QStringLiteral("chromium"), QStringLiteral("chromium-browser"),
                QStringLiteral("ungoogled-chromium"), QStringLiteral("chrome"),
                QStringLiteral("google-chrome"), QStringLiteral("google-chrome-stable"),
                QStringLiteral("google-chrome-beta"), QStringLiteral("google-chrome-unstable"),
                QStringLiteral("brave"), QStringLiteral("brave-browser"),
                QStringLiteral("brave-browser-stable"), QStringLiteral("brave-browser-beta"),
                QStringLiteral("brave-browser-nightly"), QStringLiteral("vivaldi"),
                QStringLiteral("vivaldi-stable"), QStringLiteral("vivaldi-snapshot"),
                QStringLiteral("vivaldi-bin"), QStringLiteral("opera"), QStringLiteral("opera-beta"),
                QStringLiteral("opera-developer"), QStringLiteral("microsoft-edge"),
                QStringLiteral("microsoft-edge-stable"), QStringLiteral("microsoft-edge-beta"),
                QStringLiteral("microsoft-edge-dev"), QStringLiteral("msedge"),
                QStringLiteral("thorium-browser") },
            {} },
        // Electron apps take Chromium's --user-data-dir. Chromium's .pak files alone are
        // no sign: apps built on the Chromium Embedded Framework ship them and ignore it.
        { QStringLiteral("Electron"), LaunchStrategy::UserDataDir, {},
            { QStringLiteral("Frameworks/Electron Framework.framework") }, { QStringLiteral("electron") },
            { { QStringLiteral("resources/app.asar") }, { QStringLiteral("resources/app/package.json") },
                { QStringLiteral("libffmpeg.so"), QStringLiteral("chrome-sandbox") } } },
    };
    return families;
}

} // namespace tandrel
