// The catalogue of every text pair the system shows, checked once, here, against the
// sources: each tandrel::tr call in src/ is read (its Spanish and English arguments, string
// literals joined, "{}" for every part filled in at run time) and the set of pairs must be
// exactly the catalogue. A changed, misspelt, new or dropped text fails this test; the other
// tests check texts by their properties only.
// Inside a QObject subclass an unqualified tr("es", "en") binds to QObject::tr and silently
// shows the Spanish text whatever the language: no source may call it bare.
#include "support/TestEnvironment.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace {

using Pair = std::pair<QString, QString>;

// Spanish, English: every text pair of the interface.
const QList<Pair> catalogue = {
    { QStringLiteral(" está sandboxeada por Apple — macOS no permite duplicarla."),
        QStringLiteral(" is sandboxed by Apple — macOS won't allow duplicating it.") },
    { QStringLiteral(" está sandboxeada por Apple. El sandbox se aplica a nivel del sistema y no se puede "
                     "saltar: la instancia compartiría la sesión original. Si existe versión de descarga "
                     "directa (fuera del App Store), esa sí suele ser duplicable."),
        QStringLiteral(" is sandboxed by Apple. The sandbox is enforced at the system level and can't be "
                       "bypassed: the instance would share the original session. If a direct-download "
                       "version exists (outside the App Store), that one is usually duplicable.") },
    { QStringLiteral(" se ejecuta en el sandbox de Flatpak o Snap — no se puede duplicar."),
        QStringLiteral(" runs in a Flatpak or Snap sandbox — it can't be duplicated.") },
    { QStringLiteral("--lang admite es o en."), QStringLiteral("--lang takes es or en.") },
    { QStringLiteral("--mode admite home, udd o gecko."),
        QStringLiteral("--mode takes home, udd or gecko.") },
    { QStringLiteral("Abrir esta instancia"), QStringLiteral("Open this instance") },
    { QStringLiteral("Abrir"), QStringLiteral("Open") },
    { QStringLiteral("Acerca de Tandrel"), QStringLiteral("About Tandrel") },
    { QStringLiteral("Actualizar lista de apps"), QStringLiteral("Refresh App List") },
    { QStringLiteral("Actualizar lista de apps"), QStringLiteral("Refresh app list") },
    { QStringLiteral("Aislamiento"), QStringLiteral("Isolation") },
    { QStringLiteral("Algunas cosas se conservaron"), QStringLiteral("Some things were kept") },
    { QStringLiteral("Apps duplicables"), QStringLiteral("Duplicable apps") },
    { QStringLiteral("Archivo"), QStringLiteral("File") },
    { QStringLiteral("Automático (sistema)"), QStringLiteral("Automatic (system)") },
    { QStringLiteral("Automático detecta el mejor método (recomendado)."),
        QStringLiteral("Automatic detects the best method (recommended).") },
    { QStringLiteral("Automático"), QStringLiteral("Automatic") },
    { QStringLiteral("Buscar una app para duplicar…"), QStringLiteral("Search for an app to duplicate…") },
    { QStringLiteral("Buscar"), QStringLiteral("Find") },
    { QStringLiteral("Cancelar"), QStringLiteral("Cancel") },
    { QStringLiteral("Cerrar ventana"), QStringLiteral("Close Window") },
    { QStringLiteral("Con su propia sesión, login y datos — sin tocar la original."),
        QStringLiteral("With its own session, login and data — without touching the original.") },
    { QStringLiteral("Creando…"), QStringLiteral("Creating…") },
    { QStringLiteral("Crear instancia"), QStringLiteral("Create instance") },
    { QStringLiteral("Crear una segunda instancia de "), QStringLiteral("Create a second instance of ") },
    { QStringLiteral("Cuenta 2"), QStringLiteral("Account 2") },
    { QStringLiteral("Desinstalar Tandrel…"), QStringLiteral("Uninstall Tandrel…") },
    { QStringLiteral("Desinstalar"), QStringLiteral("Uninstall") },
    { QStringLiteral("El nombre es demasiado largo. Usa uno más corto."),
        QStringLiteral("The name is too long. Use a shorter one.") },
    { QStringLiteral(
          "El nombre no puede contener saltos de línea, tabuladores ni otros caracteres de control."),
        QStringLiteral("The name can't contain line breaks, tabs or other control characters.") },
    { QStringLiteral("Eliminar la instancia y todos sus datos"),
        QStringLiteral("Delete the instance and all its data") },
    { QStringLiteral("Eliminar"), QStringLiteral("Delete") },
    { QStringLiteral("Estas apps están sandboxeadas por Apple: el aislamiento va firmado dentro de la propia "
                     "app y el sistema lo aplica al abrirla, sin importar los permisos del usuario. Quitarlo "
                     "implicaría re-firmar la app, lo que rompe su firma original y su acceso al Keychain "
                     "(perderías las sesiones guardadas). Si la app existe como descarga directa fuera del "
                     "App Store, esa versión sí suele ser duplicable."),
        QStringLiteral("These apps are sandboxed by Apple: the isolation is signed into the app itself and "
                       "enforced by the system at launch, regardless of user permissions. Removing it would "
                       "require re-signing the app, which breaks its original signature and its Keychain "
                       "access (you'd lose saved sessions). If the app exists as a direct download outside "
                       "the App Store, that version is usually duplicable.") },
    { QStringLiteral(
          "Estas apps se ejecutan en el sandbox de Flatpak o Snap: el sandbox decide dónde guardan sus "
          "datos, así que una instancia compartiría la sesión original. Si la app existe como paquete del "
          "sistema o descarga directa, esa versión sí suele ser duplicable."),
        QStringLiteral("These apps run in a Flatpak or Snap sandbox: the sandbox decides where they keep "
                       "their data, so an instance would share the original session. If the app exists as a "
                       "system package or a direct download, that version is usually duplicable.") },
    { QStringLiteral("Falta el valor de una opción."), QStringLiteral("An option lacks its value.") },
    { QStringLiteral("Falta la orden."), QStringLiteral("The command is missing.") },
    { QStringLiteral("Faltan o sobran argumentos para {}."),
        QStringLiteral("Wrong number of arguments for {}.") },
    { QStringLiteral("HOME aislado"), QStringLiteral("Isolated HOME") },
    { QStringLiteral("HOME aislado: usa este si con Automático la instancia comparte la sesión."),
        QStringLiteral("Isolated HOME: use this if the instance shares the session with Automatic.") },
    { QStringLiteral("Idioma de la app"), QStringLiteral("App language") },
    { QStringLiteral("Instancia \"{}\" creada."), QStringLiteral("Instance \"{}\" created.") },
    { QStringLiteral("Instancia \"{}\" eliminada."), QStringLiteral("Instance \"{}\" deleted.") },
    { QStringLiteral("Lista de apps actualizada."), QStringLiteral("App list refreshed.") },
    { QStringLiteral("Mostrar en Archivos"), QStringLiteral("Reveal in Files") },
    { QStringLiteral("Mostrar la instancia en Archivos ({})"),
        QStringLiteral("Show the instance in Files ({})") },
    { QStringLiteral("Mostrar la instancia en Finder ({})"),
        QStringLiteral("Show the instance in Finder ({})") },
    { QStringLiteral("Ninguna app coincide con \"{}\"."), QStringLiteral("No app matches \"{}\".") },
    { QStringLiteral("No duplicable"), QStringLiteral("Not duplicable") },
    { QStringLiteral("No duplicables"), QStringLiteral("Not duplicable") },
    { QStringLiteral("No encuentro el ejecutable de {}."), QStringLiteral("Can't find {}'s executable.") },
    { QStringLiteral("No encuentro la app {}. Usa su ruta o su nombre tal como lo muestra \"tandrel apps\"."),
        QStringLiteral("Can't find the app {}. Use its path or its name as \"tandrel apps\" prints it.") },
    { QStringLiteral("No encuentro la instancia {}."), QStringLiteral("Can't find the instance {}.") },
    { QStringLiteral(
          "No encuentro tu carpeta personal: la variable HOME está vacía o no es una ruta absoluta."),
        QStringLiteral("Can't find your home folder: the HOME variable is empty or not an absolute path.") },
    { QStringLiteral("No pude generar el ícono."), QStringLiteral("Couldn't generate the icon.") },
    { QStringLiteral("No pude guardar el ícono."), QStringLiteral("Couldn't save the icon.") },
    { QStringLiteral("No pude leer la app seleccionada."),
        QStringLiteral("Couldn't read the selected app.") },
    { QStringLiteral("No se eliminó todo:"), QStringLiteral("Not everything was removed:") },
    { QStringLiteral("Nombre (ej: Personal, Cuenta 2)"), QStringLiteral("Name (e.g. Personal, Account 2)") },
    { QStringLiteral("Nueva instancia de {}"), QStringLiteral("New instance of {}") },
    { QStringLiteral("Nueva ventana"), QStringLiteral("New Window") },
    { QStringLiteral("Opción desconocida: {}."), QStringLiteral("Unknown option: {}.") },
    { QStringLiteral("Orden desconocida: {}."), QStringLiteral("Unknown command: {}.") },
    { QStringLiteral("Parte de la instancia se conservó"), QStringLiteral("Part of the instance was kept") },
    { QStringLiteral("Ponle un nombre a la instancia."), QStringLiteral("Give the instance a name.") },
    { QStringLiteral("Prueba \"tandrel --help\"."), QStringLiteral("Try \"tandrel --help\".") },
    { QStringLiteral("Salir"), QStringLiteral("Quit") },
    { QStringLiteral("Se borrará la instancia y todos sus datos (sesión, cookies, configuración). Esta "
                     "acción no se puede deshacer."),
        QStringLiteral("The instance and all its data (session, cookies, settings) will be deleted. This "
                       "cannot be undone.") },
    { QStringLiteral("Sin terminal, \"delete\" necesita --yes."),
        QStringLiteral("Without a terminal, \"delete\" needs --yes.") },
    { QStringLiteral("Tandrel\nCiudad: Morvale"), QStringLiteral("Tandrel\nCity: Morvale") },
    { QStringLiteral("Todavía no hay instancias: elige una app de abajo para crear la primera."),
        QStringLiteral("No instances yet: pick an app below to create the first one.") },
    { QStringLiteral("Tus instancias duplicadas"), QStringLiteral("Your duplicated instances") },
    { QStringLiteral(
          "Uso: tandrel [ORDEN] [OPCIONES]\nSin orden, Tandrel abre su ventana.\n\nÓrdenes:\n  apps [--json] "
          "[--apps CARPETA]...\n      Las apps instaladas, si cada una está sandboxeada y el modo de "
          "aislamiento que\n      elegiría Tandrel. --apps sustituye las carpetas donde se buscan (se puede "
          "repetir).\n  list [--json]\n      Las instancias: nombre, id, app, modo, carpeta de datos y "
          "contenedor.\n  create APP NOMBRE [--mode home|udd|gecko]\n      Crea una instancia de APP (su "
          "ruta, o su nombre tal como lo muestra \"apps\")\n      y muestra la ruta del contenedor nuevo.\n  "
          "open INSTANCIA\n      Abre una instancia: su id, su nombre (\"Mail - Trabajo\") o la ruta de su "
          "contenedor.\n  delete INSTANCIA [--yes]\n      Elimina una instancia y sus datos. Pregunta antes "
          "en una terminal; si no hay\n      terminal, necesita --yes.\n\nOpciones:\n  --json          un "
          "documento JSON (una lista de objetos)\n  --lang es|en    el idioma de esta ejecución; la elección "
          "guardada no cambia\n  --help          esta ayuda\n  --version       la versión\n\nEstado de "
          "salida: 0 hecho, 1 rechazado o fallido, 2 uso incorrecto."),
        QStringLiteral(
            "Usage: tandrel [COMMAND] [OPTIONS]\nWithout a command, Tandrel opens its window.\n\nCommands:\n "
            " apps [--json] [--apps FOLDER]...\n      The installed apps, whether each is sandboxed, and the "
            "isolation mode Tandrel\n      would pick. --apps replaces the folders searched for apps "
            "(repeatable).\n  list [--json]\n      The instances: name, id, app, mode, data folder and "
            "wrapper.\n  create APP NAME [--mode home|udd|gecko]\n      Makes an instance of APP (its path, "
            "or its name as \"apps\" prints it) and\n      prints the new wrapper's path.\n  open INSTANCE\n "
            "     Opens an instance: its id, its name (\"Mail - Work\") or its wrapper's path.\n  delete "
            "INSTANCE [--yes]\n      Deletes an instance and its data. Asks first on a terminal; without one "
            "it\n      needs --yes.\n\nOptions:\n  --json          one JSON document (a list of objects)\n  "
            "--lang es|en    the language of this run; the saved choice stays as it is\n  --help          "
            "this help\n  --version       the version\n\nExit status: 0 done, 1 refused or failed, 2 wrong "
            "usage.") },
    { QStringLiteral("Ver en Finder"), QStringLiteral("Show in Finder") },
    { QStringLiteral("Ver"), QStringLiteral("View") },
    { QStringLiteral("Versión %1 (%2)"), QStringLiteral("Version %1 (%2)") },
    { QStringLiteral("Ya existe una instancia con ese nombre. Usa otro nombre o elimina la anterior."),
        QStringLiteral(
            "An instance with that name already exists. Use another name or delete the old one.") },
    { QStringLiteral("sandboxeada"), QStringLiteral("sandboxed") },
    { QStringLiteral("una app, dos cuentas"), QStringLiteral("one app, two accounts") },
    { QStringLiteral(
          "{} está instalada como {} y su sandbox no permite duplicarla: el sandbox decide dónde guarda sus "
          "datos, así que la instancia compartiría la sesión original. Si existe como paquete del sistema o "
          "descarga directa (fuera de Flatpak y Snap), instálala — esa sí suele ser duplicable."),
        QStringLiteral("{} is installed as a {} and its sandbox won't allow duplicating it: the sandbox "
                       "decides where its data goes, so the instance would share the original session. If it "
                       "exists as a system package or a direct download (outside Flatpak and Snap), install "
                       "that one — it's usually duplicable.") },
    { QStringLiteral("{} está sandboxeada por Apple y macOS no permite duplicarla: el sandbox ignora el "
                     "aislamiento y la instancia compartiría la sesión original. Si existe versión de "
                     "descarga directa (fuera del App Store), instálala — esa sí suele ser duplicable."),
        QStringLiteral(
            "{} is sandboxed by Apple and macOS won't allow duplicating it: the sandbox ignores the "
            "isolation and the instance would share the original session. If a direct-download version "
            "exists (outside the App Store), install that one — it's usually duplicable.") },
    { QStringLiteral("{} no vale para {}."), QStringLiteral("{} doesn't apply to {}.") },
    { QStringLiteral("{} suele pasar una segunda apertura a la copia que ya está en marcha: si la original "
                     "está abierta, la instancia puede abrirse como otra ventana suya. Cierra la original "
                     "antes de abrir la instancia."),
        QStringLiteral("{} usually hands a second launch to the copy that is already open: if the original "
                       "is running, the instance may open as another window of it. Quit the original before "
                       "opening the instance.") },
    { QStringLiteral("{}: Tandrel no lo creó, así que se dejó donde está."),
        QStringLiteral("{}: Tandrel didn't create it, so it was left in place.") },
    { QStringLiteral("{}: es un enlace simbólico; no se siguió ni se eliminó."),
        QStringLiteral("{}: it's a symbolic link; it was neither followed nor removed.") },
    { QStringLiteral("{}: no es la carpeta de datos de esta instancia, así que se dejó intacta."),
        QStringLiteral("{}: it isn't this instance's data folder, so it was left untouched.") },
    { QStringLiteral("{}: no se pudo eliminar ({})."), QStringLiteral("{}: couldn't be removed ({}).") },
    { QStringLiteral("{}: se conservaron los datos porque la instancia no se pudo eliminar."),
        QStringLiteral("{}: the data was kept because the instance itself couldn't be removed.") },
    { QStringLiteral("¿Desinstalar Tandrel?"), QStringLiteral("Uninstall Tandrel?") },
    { QStringLiteral("¿Eliminar {}? [s/N] "), QStringLiteral("Delete {}? [y/N] ") },
    { QStringLiteral("¿Eliminar {}?"), QStringLiteral("Delete {}?") },
};

// One or more adjacent string literals from `i` (at a '"'), escapes decoded; `i` ends after them.
QString literalAt(QStringView code, qsizetype &i)
{
    QString text;
    while (i < code.size() && code[i] == QLatin1Char('"')) {
        for (++i; i < code.size() && code[i] != QLatin1Char('"'); ++i) {
            if (code[i] == QLatin1Char('\\') && i + 1 < code.size()) {
                const QChar escaped = code[++i];
                text += escaped == QLatin1Char('n') ? QChar(u'\n')
                    : escaped == QLatin1Char('t')   ? QChar(u'\t')
                                                    : escaped;
            } else {
                text += code[i];
            }
        }
        ++i;
        while (i < code.size() && code[i].isSpace())
            ++i;
    }
    return text;
}

// The text of one argument: the literals of its '+'-joined parts, "{}" for any other part.
QString argumentText(QStringView argument)
{
    QString text;
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < argument.size() && argument[i].isSpace())
            ++i;
    };
    for (skipSpace(); i < argument.size(); skipSpace()) {
        bool literal = false;
        for (const QStringView wrapper : { u"QStringLiteral(", u"QLatin1String(", u"QString(" }) {
            qsizetype quote = i + wrapper.size();
            while (quote < argument.size() && argument[quote].isSpace())
                ++quote;
            if (argument.mid(i).startsWith(wrapper) && argument.mid(quote).startsWith(u"\"")) {
                i = quote;
                text += literalAt(argument, i);
                literal = true;
                ++i; // the wrapper's ')'
                break;
            }
        }
        if (!literal && argument.mid(i).startsWith(u"QLatin1Char('") && i + 15 < argument.size()
            && argument[i + 14] == QLatin1Char('\'')) {
            text += argument[i + 13]; // a character literal: the text's own punctuation
            i += 16;
            literal = true;
        }
        if (!literal && argument[i] == QLatin1Char('"')) {
            text += literalAt(argument, i);
            literal = true;
        }
        if (!literal) {
            for (int depth = 0; i < argument.size(); ++i) {
                const QChar c = argument[i];
                if (c == QLatin1Char('"'))
                    literalAt(argument, i), --i;
                else if (c == QLatin1Char('('))
                    ++depth;
                else if (c == QLatin1Char(')'))
                    --depth;
                else if (c == QLatin1Char('+') && depth == 0)
                    break;
            }
            text += QStringLiteral("{}");
        }
        skipSpace();
        if (i < argument.size() && argument[i] == QLatin1Char('+'))
            ++i;
    }
    return text;
}

// The two arguments of every tandrel::tr call in a source file.
QList<Pair> pairsIn(const QString &source)
{
    QList<Pair> pairs;
    static const QString call = QStringLiteral("tandrel::tr(");
    for (qsizetype at = source.indexOf(call); at >= 0; at = source.indexOf(call, at + 1)) {
        qsizetype i = at + call.size();
        int depth = 0;
        QList<qsizetype> commas;
        for (; i < source.size(); ++i) {
            const QChar c = source[i];
            if (c == QLatin1Char('"')) {
                for (++i; i < source.size() && source[i] != QLatin1Char('"'); ++i)
                    if (source[i] == QLatin1Char('\\'))
                        ++i;
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')')) {
                if (depth-- == 0)
                    break;
            } else if (c == QLatin1Char(',') && depth == 0) {
                commas << i;
            }
        }
        if (commas.size() != 1)
            continue; // the declaration, or not a call with two texts
        const qsizetype start = at + call.size();
        pairs.append({ argumentText(QStringView(source).mid(start, commas[0] - start)),
            argumentText(QStringView(source).mid(commas[0] + 1, i - commas[0] - 1)) });
    }
    return pairs;
}

// Lines holding a call of tr that is neither qualified nor a member access.
QStringList unqualifiedTrCalls(const QString &source)
{
    static const QRegularExpression call(QStringLiteral("(?<![\\w:.>~])tr\\s*\\("));
    static const QRegularExpression lineComment(QStringLiteral("//.*$"));
    static const QRegularExpression literal(QStringLiteral("\"(?:[^\"\\\\]|\\\\.)*\""));
    QStringList hits;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        line.remove(literal);
        line.remove(lineComment);
        if (call.match(line).hasMatch())
            hits << QStringLiteral("%1: %2").arg(i + 1).arg(lines[i].trimmed());
    }
    return hits;
}

QString show(const Pair &pair)
{
    const auto quote = [](QString text) {
        return QLatin1Char('"')
            + text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                  .replace(QLatin1Char('"'), QLatin1String("\\\""))
                  .replace(QLatin1Char('\n'), QLatin1String("\\n"))
            + QLatin1Char('"');
    };
    return QStringLiteral("{QStringLiteral(%1), QStringLiteral(%2)},")
        .arg(quote(pair.first), quote(pair.second));
}

} // namespace

class TextsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sources_showExactlyTheCatalogueAndCallTrQualified()
    {
        QSet<Pair> found;
        QStringList bare;
        for (const char *folder : { "src", "tests" }) {
            QDirIterator it(QStringLiteral(TANDREL_SOURCE_DIR "/") + QLatin1String(folder),
                { QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.mm") }, QDir::Files,
                QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                const QString source = QString::fromUtf8(file.readAll());
                // The one definition of tandrel::tr, and this file's own samples.
                if (!path.endsWith(QLatin1String("/l10n/Tr.h"))
                    && !path.endsWith(QLatin1String("/l10n/Tr.cpp"))
                    && !path.endsWith(QLatin1String("/tst_texts.cpp")))
                    for (const QString &hit : unqualifiedTrCalls(source))
                        bare << path + QLatin1Char(':') + hit;
                if (qstrcmp(folder, "src") != 0)
                    continue;
                for (const Pair &pair : pairsIn(source)) {
                    if (pair.first != QLatin1String("{}") || pair.second != QLatin1String("{}"))
                        found.insert(pair);
                }
            }
        }
        QVERIFY2(bare.isEmpty(), qPrintable(bare.join(QLatin1Char('\n'))));
        const QSet<Pair> expected(catalogue.cbegin(), catalogue.cend());
        QStringList problems;
        for (const Pair &pair : found - expected)
            problems << QStringLiteral("not in the catalogue: ") + show(pair);
        for (const Pair &pair : expected - found)
            problems << QStringLiteral("not in the sources:   ") + show(pair);
        problems.sort();
        for (const QString &problem : std::as_const(problems))
            qWarning("%s", qPrintable(problem));
        QVERIFY2(problems.isEmpty(), "the sources and the catalogue differ (listed above)");
    }

    void catalogue_pairsDiffer()
    {
        // A pair whose two texts are equal is a text that was not translated, except names.
        for (const Pair &pair : catalogue)
            QVERIFY2(pair.first != pair.second || pair.first.startsWith(QLatin1String("Tandrel")),
                qPrintable(pair.first));
    }
};

TANDREL_TEST_MAIN(TextsTest)
#include "tst_texts.moc"
