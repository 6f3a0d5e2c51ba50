#include "model/bundle/WrapperTemplates.h"

#include <QStringList>

namespace tandrel {
namespace {

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

QString joinLines(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString xmlEscapeDisplayName(const QString &displayName)
{
    QString text;
    text.reserve(displayName.size());
    // Walk code points: a well-formed surrogate pair is kept, a lone surrogate dropped.
    const qsizetype size = displayName.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = displayName[i];
        if (c.isHighSurrogate() && i + 1 < size && displayName[i + 1].isLowSurrogate()) {
            text += c;
            text += displayName[++i];
            continue;
        }
        if (c.isSurrogate() || !isXmlChar(c.unicode()))
            continue;
        text += c;
    }
    text.replace(QLatin1String("&"), QLatin1String("&amp;"));
    text.replace(QLatin1String("<"), QLatin1String("&lt;"));
    text.replace(QLatin1String(">"), QLatin1String("&gt;"));
    return text;
}

QString shellEscapeInDoubleQuotes(const QString &value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('$') || c == QLatin1Char('`'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

QString infoPlistText(const QString &displayName, const QString &instanceId)
{
    const QString display = xmlEscapeDisplayName(displayName);
    const QString tab = QStringLiteral("\t");
    return joinLines({
        QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>)"),
        QStringLiteral(
            R"(<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">)"),
        QStringLiteral(R"(<plist version="1.0">)"),
        QStringLiteral("<dict>"),
        tab + QStringLiteral("<key>CFBundleName</key>"),
        tab + QStringLiteral("<string>") + display + QStringLiteral("</string>"),
        tab + QStringLiteral("<key>CFBundleDisplayName</key>"),
        tab + QStringLiteral("<string>") + display + QStringLiteral("</string>"),
        tab + QStringLiteral("<key>CFBundleIdentifier</key>"),
        tab + QStringLiteral("<string>io.tandrel.space.") + instanceId + QStringLiteral("</string>"),
        tab + QStringLiteral("<key>CFBundleExecutable</key>"),
        tab + QStringLiteral("<string>launcher</string>"),
        tab + QStringLiteral("<key>CFBundleIconFile</key>"),
        tab + QStringLiteral("<string>app</string>"),
        tab + QStringLiteral("<key>CFBundlePackageType</key>"),
        tab + QStringLiteral("<string>APPL</string>"),
        tab + QStringLiteral("<key>CFBundleInfoDictionaryVersion</key>"),
        tab + QStringLiteral("<string>6.0</string>"),
        tab + QStringLiteral("<key>CFBundleVersion</key>"),
        tab + QStringLiteral("<string>1.0</string>"),
        tab + QStringLiteral("<key>CFBundleShortVersionString</key>"),
        tab + QStringLiteral("<string>1.0</string>"),
        tab + QStringLiteral("<key>LSMinimumSystemVersion</key>"),
        tab + QStringLiteral("<string>12.0</string>"),
        tab + QStringLiteral("<key>NSHighResolutionCapable</key>"),
        tab + QStringLiteral("<true/>"),
        QStringLiteral("</dict>"),
        QStringLiteral("</plist>"),
    });
}

QString launcherScript(LaunchStrategy strategy, const LauncherValues &values)
{
    const QString d = shellEscapeInDoubleQuotes(values.dataDir);
    const QString t = shellEscapeInDoubleQuotes(values.targetPath);
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        return joinLines({
            QStringLiteral("#!/bin/bash"),
            QStringLiteral("# Tandrel launcher (user-data-dir, vía Launch Services)"),
            QStringLiteral("mkdir -p \"%1\"").arg(d),
            QStringLiteral("exec /usr/bin/open -n \"%1\" --args --user-data-dir=\"%2\" \"$@\"").arg(t, d),
        });
    case LaunchStrategy::GeckoProfile:
        return joinLines({
            QStringLiteral("#!/bin/bash"),
            QStringLiteral("# Tandrel launcher (Gecko: --no-remote --profile)"),
            QStringLiteral("mkdir -p \"%1/profile\"").arg(d),
            QStringLiteral("exec /usr/bin/open -n \"%1\" --args --no-remote --profile \"%2/profile\" \"$@\"")
                .arg(t, d),
        });
    case LaunchStrategy::IsolatedHome:
        break;
    }
    const QString h = shellEscapeInDoubleQuotes(values.realHome);
    const QString e = shellEscapeInDoubleQuotes(values.executable);
    return joinLines({
        QStringLiteral("#!/bin/bash"),
        QStringLiteral("# Tandrel launcher (HOME aislado)"),
        QStringLiteral("mkdir -p \"%1/home\"").arg(d),
        QStringLiteral("# Enlaces a las carpetas reales del usuario (lectura y escritura)"),
        QStringLiteral("for d in Downloads Documents Desktop; do"),
        QStringLiteral("  [ -e \"%1/home/$d\" ] || ln -s \"%2/$d\" \"%1/home/$d\"").arg(d, h),
        QStringLiteral("done"),
        QStringLiteral("export HOME=\"%1/home\"").arg(d),
        QStringLiteral("exec \"%1/Contents/MacOS/%2\" \"$@\"").arg(t, e),
    });
}

} // namespace tandrel
