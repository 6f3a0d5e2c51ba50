#include "model/desktop/DesktopKeyFile.h"

#include "platform/FileSystem.h"

#include <glib.h>

namespace tandrel {
namespace {

QString taken(gchar *text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

} // namespace

void KeyFileFree::operator()(GKeyFile *file) const
{
    g_key_file_free(file);
}

KeyFile newKeyFile()
{
    return KeyFile(g_key_file_new());
}

KeyFile loadDesktopKeyFile(const QString &path)
{
    try {
        return parseDesktopKeyFile(fs::readFile(path, maxDesktopEntrySize));
    } catch (const FileSystemError &) {
        return {};
    }
}

KeyFile parseDesktopKeyFile(const QByteArray &bytes)
{
    if (bytes.size() > maxDesktopEntrySize)
        return {};
    KeyFile file = newKeyFile();
    if (!g_key_file_load_from_data(
            file.get(), bytes.constData(), gsize(bytes.size()), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr))
        return {};
    gchar *start = g_key_file_get_start_group(file.get());
    const bool entry = start && qstrcmp(start, desktopEntryGroup) == 0;
    g_free(start);
    return entry ? std::move(file) : KeyFile();
}

QString keyString(GKeyFile *file, const QString &key, const char *group)
{
    return taken(g_key_file_get_string(file, group, key.toUtf8().constData(), nullptr));
}

bool keyBoolean(GKeyFile *file, const QString &key)
{
    return g_key_file_get_boolean(file, desktopEntryGroup, key.toUtf8().constData(), nullptr);
}

bool hasKey(GKeyFile *file, const QString &key)
{
    return g_key_file_has_key(file, desktopEntryGroup, key.toUtf8().constData(), nullptr);
}

QStringList keyNames(GKeyFile *file, int limit, const char *group)
{
    QStringList names;
    gchar **keys = g_key_file_get_keys(file, group, nullptr, nullptr);
    for (gchar **key = keys; key && *key && names.size() < limit; ++key)
        names << QString::fromUtf8(*key);
    g_strfreev(keys);
    return names;
}

void setKeyString(GKeyFile *file, const QString &key, const QString &value, const char *group)
{
    g_key_file_set_string(file, group, key.toUtf8().constData(), value.toUtf8().constData());
}

QString keyFileText(GKeyFile *file)
{
    return taken(g_key_file_to_data(file, nullptr, nullptr));
}

} // namespace tandrel
