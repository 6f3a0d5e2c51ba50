#include "app/CommandLine.h"

#include "app/CommandOutput.h"
#include "app/LinkCommands.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "model/BadgedIcon.h"
#include "model/SpaceRecord.h"
#include "model/Store.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include <unistd.h>

namespace tandrel {
namespace {

using namespace cli;

const QStringList commands { QStringLiteral("apps"), QStringLiteral("list"), QStringLiteral("create"),
    QStringLiteral("open"), QStringLiteral("rename"), QStringLiteral("badge"), QStringLiteral("stop"),
    QStringLiteral("delete"), QStringLiteral("export"), QStringLiteral("import"), QStringLiteral("duplicate"),
    QStringLiteral("links"), QStringLiteral("route") };

// An option the parser did not know, as the user wrote it ("-x", "--colour"): the parser
// gives its name without the dashes.
QString asWritten(const QString &name, const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        for (const QString &dashes : { QStringLiteral("-"), QStringLiteral("--") }) {
            if (argument == dashes + name || argument.startsWith(dashes + name + QLatin1Char('=')))
                return dashes + name;
        }
    }
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QString helpText()
{
    return tandrel::tr(
        QStringLiteral(
            "Uso: tandrel [ORDEN] [OPCIONES]\n"
            "Sin orden, Tandrel abre su ventana.\n"
            "\n"
            "Órdenes:\n"
            "  apps [--json] [--apps CARPETA]...\n"
            "      Las apps instaladas, si cada una está sandboxeada y el modo de aislamiento que\n"
            "      elegiría Tandrel. --apps sustituye las carpetas donde se buscan (se puede repetir).\n"
            "  list [--json]\n"
            "      Las instancias: nombre, id, app, modo, carpeta de datos y contenedor.\n"
            "  create APP NOMBRE [--mode home|udd|gecko]\n"
            "      Crea una instancia de APP (su ruta, o su nombre tal como lo muestra \"apps\")\n"
            "      y muestra la ruta del contenedor nuevo.\n"
            "  open INSTANCIA [URL]...\n"
            "      Abre una instancia: su id, su nombre (\"Mail - Trabajo\") o la ruta de su contenedor.\n"
            "      Con URL, abre esos enlaces en ella (si su app abre direcciones web).\n"
            "  rename INSTANCIA NOMBRE\n"
            "      Cambia el nombre de una instancia; sus datos se quedan. Muestra la ruta nueva.\n"
            "  badge INSTANCIA [--color NOMBRE|#RRGGBB] [--label TEXTO] [--image ARCHIVO]\n"
            "      El distintivo de su icono: color (blue, purple, pink, orange, teal, green,\n"
            "      indigo o #RRGGBB), uno o dos caracteres, o una imagen que los tapa; dar color\n"
            "      o caracteres quita la imagen. --label \"\" vuelve a la inicial, --image \"\"\n"
            "      quita la imagen. Sin opciones, muestra el distintivo.\n"
            "  stop INSTANCIA\n"
            "      Detiene una instancia abierta: sus procesos y los que estos iniciaron.\n"
            "  delete INSTANCIA [--yes] [--stop]\n"
            "      Elimina una instancia y sus datos. Pregunta antes en una terminal; si no hay\n"
            "      terminal, necesita --yes. Si está abierta, se niega salvo con --stop.\n"
            "  export INSTANCIA ARCHIVO\n"
            "      Guarda la instancia y todos sus datos en un archivo (tar con zstd). No con\n"
            "      la instancia abierta, ni sobre un archivo que ya existe.\n"
            "  import ARCHIVO [--name NOMBRE]\n"
            "      Crea una instancia nueva con lo que guardó \"export\", de la misma app\n"
            "      instalada aquí. Muestra la ruta nueva.\n"
            "  duplicate INSTANCIA NOMBRE\n"
            "      Crea una instancia nueva de la misma app con una copia de sus datos.\n"
            "  links list [--json]\n"
            "      Las reglas de los enlaces: cada sitio y dónde se abre.\n"
            "  links add SITIO DESTINO [--exact]\n"
            "      Abre los enlaces de SITIO (ejemplo.com, con sus subdominios salvo con --exact)\n"
            "      en DESTINO: una instancia, o una app que abra enlaces (su nombre o su ruta).\n"
            "  links remove SITIO\n"
            "      Quita la regla de SITIO.\n"
            "  links handler [on|off]\n"
            "      Si Tandrel elige la cuenta de los enlaces web (es el navegador predeterminado);\n"
            "      off devuelve los enlaces al navegador de antes.\n"
            "  route URL\n"
            "      Abre el enlace donde diga la regla más larga que coincida; sin regla, pregunta\n"
            "      si hay pantalla y, si no, termina con 1.\n"
            "\n"
            "Opciones:\n"
            "  --json          un documento JSON (una lista de objetos)\n"
            "  --lang es|en    el idioma de esta ejecución; la elección guardada no cambia\n"
            "  -h, --help      esta ayuda\n"
            "  -V, --version   la versión\n"
            "\n"
            "Estado de salida: 0 hecho, 1 rechazado o fallido, 2 uso incorrecto."),
        QStringLiteral("Usage: tandrel [COMMAND] [OPTIONS]\n"
                       "Without a command, Tandrel opens its window.\n"
                       "\n"
                       "Commands:\n"
                       "  apps [--json] [--apps FOLDER]...\n"
                       "      The installed apps, whether each is sandboxed, and the isolation mode Tandrel\n"
                       "      would pick. --apps replaces the folders searched for apps (repeatable).\n"
                       "  list [--json]\n"
                       "      The instances: name, id, app, mode, data folder and wrapper.\n"
                       "  create APP NAME [--mode home|udd|gecko]\n"
                       "      Makes an instance of APP (its path, or its name as \"apps\" prints it) and\n"
                       "      prints the new wrapper's path.\n"
                       "  open INSTANCE [URL]...\n"
                       "      Opens an instance: its id, its name (\"Mail - Work\") or its wrapper's path.\n"
                       "      With URLs, opens those links in it (when its app opens web addresses).\n"
                       "  rename INSTANCE NAME\n"
                       "      Renames an instance; its data stays. Prints the new path.\n"
                       "  badge INSTANCE [--color NAME|#RRGGBB] [--label TEXT] [--image FILE]\n"
                       "      The badge on its icon: a colour (blue, purple, pink, orange, teal, green,\n"
                       "      indigo or #RRGGBB), one or two characters, or an image that covers them;\n"
                       "      giving a colour or characters drops the image. --label \"\" restores the\n"
                       "      initial, --image \"\" drops the image. Without options, prints the badge.\n"
                       "  stop INSTANCE\n"
                       "      Stops a running instance: its processes and those they started.\n"
                       "  delete INSTANCE [--yes] [--stop]\n"
                       "      Deletes an instance and its data. Asks first on a terminal; without one it\n"
                       "      needs --yes. While it runs it is refused unless --stop is given.\n"
                       "  export INSTANCE FILE\n"
                       "      Saves the instance and all its data in one file (tar with zstd). Not while\n"
                       "      it runs, nor over a file that exists.\n"
                       "  import FILE [--name NAME]\n"
                       "      Makes a new instance from what \"export\" saved, of the same app installed\n"
                       "      here. Prints the new path.\n"
                       "  duplicate INSTANCE NAME\n"
                       "      Makes a new instance of the same app with a copy of its data.\n"
                       "  links list [--json]\n"
                       "      The link rules: each site and where it opens.\n"
                       "  links add SITE TARGET [--exact]\n"
                       "      Opens links to SITE (example.com, with its subdomains unless --exact) in\n"
                       "      TARGET: an instance, or an app that opens links (its name or path).\n"
                       "  links remove SITE\n"
                       "      Removes the rule for SITE.\n"
                       "  links handler [on|off]\n"
                       "      Whether Tandrel chooses the account for web links (as the default browser);\n"
                       "      off gives links back to the browser they went to before.\n"
                       "  route URL\n"
                       "      Opens the link where the longest matching rule says; without one, asks when\n"
                       "      there is a display, and otherwise exits with 1.\n"
                       "\n"
                       "Options:\n"
                       "  --json          one JSON document (a list of objects)\n"
                       "  --lang es|en    the language of this run; the saved choice stays as it is\n"
                       "  -h, --help      this help\n"
                       "  -V, --version   the version\n"
                       "\n"
                       "Exit status: 0 done, 1 refused or failed, 2 wrong usage."));
}

int apps(const QCommandLineParser &parser)
{
    QStringList folders = Store::defaultApplicationFolders();
    if (parser.isSet(QStringLiteral("apps"))) {
        folders.clear();
        for (const QString &folder : parser.values(QStringLiteral("apps")))
            folders.append(plainAbsolute(folder)); // paths are printed whole
    }
    QList<QList<Member>> json;
    QList<QStringList> rows;
    for (const InstalledApp &app : Store::listApps(folders)) {
        const AppFacts facts = Store::factsOf(app);
        const QString mode = facts.strategy ? strategyText(*facts.strategy) : QString();
        json.append({ { "name", app.name() }, { "path", app.id() }, { "bundleId", facts.identifier },
            { "sandboxed", std::nullopt, facts.sandboxed },
            { "mode", mode.isEmpty() ? std::nullopt : std::optional(mode) },
            { "notice", facts.notice.isEmpty() ? std::nullopt : std::optional(facts.notice) } });
        rows.append({ app.name(),
            facts.sandboxed ? tandrel::tr(QStringLiteral("sandboxeada"), QStringLiteral("sandboxed"))
                            : (mode.isEmpty() ? QStringLiteral("-") : mode),
            app.id() });
    }
    if (parser.isSet(QStringLiteral("json")))
        printJson(json);
    else
        printAligned(rows);
    return 0;
}

// The badge as it shows: its colour, its text, and whether an image covers them.
QString badgeJson(const SpaceInfo &space)
{
    const QString name = space.instanceName.value_or(space.name);
    return QStringLiteral("{\"color\": ") + jsonString(shownBadgeColor(name, space.badge))
        + QStringLiteral(", \"label\": ") + jsonString(badgeText(name, space.badge))
        + QStringLiteral(", \"image\": ")
        + (space.badge.image.isEmpty() ? QStringLiteral("false") : QStringLiteral("true")) + QLatin1Char('}');
}

int badge(const QCommandLineParser &parser, Store &store, const SpaceInfo &space)
{
    const QString name = space.instanceName.value_or(space.name);
    const bool color = parser.isSet(QStringLiteral("color"));
    const bool label = parser.isSet(QStringLiteral("label"));
    const bool image = parser.isSet(QStringLiteral("image"));
    if (!color && !label && !image) {
        printAligned({ { QStringLiteral("color"), shownBadgeColor(name, space.badge) },
            { QStringLiteral("label"), badgeText(name, space.badge) },
            { QStringLiteral("image"),
                space.badge.image.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes") } });
        return 0;
    }
    Badge chosen = space.badge;
    if (color)
        chosen.color = *normalizedBadgeColor(parser.value(QStringLiteral("color")));
    if (label)
        chosen.label = parser.value(QStringLiteral("label"));
    if (color || label)
        chosen.image.clear();
    if (image) {
        const QString file = parser.value(QStringLiteral("image"));
        chosen.image = file.isEmpty() ? QByteArray() : badgeImageFromFile(plainAbsolute(file));
    }
    out(plainPath(store.setBadge(space, chosen)));
    return 0;
}

int list(const QCommandLineParser &parser, Store &store)
{
    QList<QList<Member>> json;
    QList<QStringList> rows;
    const QHash<QString, QList<qint64>> running = Store::runningProcesses(store.spaces());
    const QHash<QString, qint64> sizes = Store::dataSizes(store.spaces());
    for (const SpaceInfo &space : store.spaces()) {
        QStringList pids;
        for (const qint64 pid : running.value(space.id()))
            pids << QString::number(pid);
        json.append({ { "id", space.instanceId }, { "name", space.instanceName },
            { "displayName", space.name }, { "target", space.targetPath }, { "mode", space.mode },
            { "dataDir", space.dataDir }, { "wrapper", space.id() },
            { "createdAt",
                space.createdAt ? std::optional(formatIsoDateTime(*space.createdAt)) : std::nullopt },
            { "bytes", std::nullopt, std::nullopt,
                sizes.contains(space.id()) ? std::optional(QString::number(sizes.value(space.id())))
                                           : std::nullopt },
            { "running", std::nullopt, !pids.isEmpty() },
            { "pids", std::nullopt, std::nullopt,
                QLatin1Char('[') + pids.join(QStringLiteral(", ")) + QLatin1Char(']') },
            { "badge", std::nullopt, std::nullopt, badgeJson(space) } });
        rows.append({ space.name, space.mode.value_or(QStringLiteral("-")),
            space.instanceId.value_or(QStringLiteral("-")), space.targetPath.value_or(QStringLiteral("-")),
            space.dataDir.value_or(QStringLiteral("-")), space.id() });
    }
    if (parser.isSet(QStringLiteral("json")))
        printJson(json);
    else
        printAligned(rows);
    return 0;
}

std::optional<InstalledApp> findApp(const QString &wanted)
{
    if (wanted.contains(QLatin1Char('/'))) {
        return Store::appAt(plainAbsolute(wanted));
    }
    for (const InstalledApp &app : Store::listApps(Store::defaultApplicationFolders())) {
        if (app.name() == wanted)
            return app;
    }
    return std::nullopt;
}

int create(const QCommandLineParser &parser, Store &store, const QStringList &arguments)
{
    const std::optional<InstalledApp> app = findApp(arguments[0]);
    if (!app)
        return failed(tandrel::tr(QStringLiteral("No encuentro la app ") + quoted(arguments[0])
                + QStringLiteral(". Usa su ruta o su nombre tal como lo muestra \"tandrel apps\"."),
            QStringLiteral("Can't find the app ") + quoted(arguments[0])
                + QStringLiteral(". Use its path or its name as \"tandrel apps\" prints it.")));
    QUrl wrapper;
    const QString mode = parser.value(QStringLiteral("mode"));
    if (mode.isEmpty())
        wrapper = store.createSpace(*app, arguments[1], Mode::Auto);
    else
        wrapper = store.createSpace(*app, arguments[1], *strategyFromText(mode));
    out(plainPath(wrapper));
    // What the window's sheet says before creating, said once it is made.
    const QString notice
        = Store::factsOf(*app, mode == QLatin1String("home") ? Mode::Home : Mode::Auto).notice;
    if (!notice.isEmpty() && (mode.isEmpty() || mode == QLatin1String("home")))
        write(stderr, notice + QLatin1Char('\n'));
    return 0;
}

// Progress on a terminal, one line redrawn: how much is done and how long is left.
Transfer terminalProgress()
{
    if (!::isatty(STDERR_FILENO))
        return {};
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return { [started](qint64 done, qint64 total) {
        const qint64 elapsed = started->elapsed();
        const QString left = done > 0 && elapsed > 1000 && total > done
            ? tandrel::tr(QStringLiteral(", quedan %1 s"), QStringLiteral(", %1 s left"))
                  .arg((total - done) * elapsed / done / 1000)
            : QString();
        write(stderr,
            QStringLiteral("\r\x1b[K") + QString::number(total > 0 ? done * 100 / total : 0)
                + QStringLiteral("% (") + QLocale::system().formattedDataSize(done) + QStringLiteral(" / ")
                + QLocale::system().formattedDataSize(total) + left + QLatin1Char(')'));
    } };
}

// Says what the copy left out on purpose.
void tellSkipped(const UnpackSummary &skipped)
{
    if (skipped.outwardLinks > 0)
        write(stderr,
            QStringLiteral("tandrel: ")
                + tandrel::tr(
                    QStringLiteral(
                        "se omitieron %1 enlaces que apuntaban fuera de los datos de la instancia."),
                    QStringLiteral("%1 links pointing outside the instance's data were left out."))
                      .arg(skipped.outwardLinks)
                + QLatin1Char('\n'));
}

// Ends the progress line, whatever happened.
struct ProgressLine
{
    ~ProgressLine()
    {
        if (::isatty(STDERR_FILENO))
            write(stderr, QStringLiteral("\r\x1b[K"));
    }
};

bool confirmedOnTerminal(const SpaceInfo &space)
{
    write(stderr,
        tandrel::tr(QStringLiteral("¿Eliminar ") + quoted(space.name) + QStringLiteral("? [s/N] "),
            QStringLiteral("Delete ") + quoted(space.name) + QStringLiteral("? [y/N] ")));
    char buffer[64] = {};
    if (!std::fgets(buffer, sizeof buffer, stdin))
        return false;
    const QString answer = QString::fromLocal8Bit(buffer).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes") || answer == QLatin1String("s")
        || answer == QLatin1String("si") || answer == QStringLiteral("sí");
}

int runCommand(const QCommandLineParser &parser, const QString &command, const QStringList &arguments)
{
    if (command == QLatin1String("apps"))
        return apps(parser);
    // Scripts run several at once: wait for the others, and say so when it takes a while.
    Store::setPatience(std::chrono::minutes(2), [] {
        write(stderr,
            QStringLiteral("tandrel: ")
                + tandrel::tr(QStringLiteral("esperando a que termine otro proceso de Tandrel…"),
                    QStringLiteral("waiting for another Tandrel process to finish…"))
                + QLatin1Char('\n'));
    });
    Store store(std::nullopt, nullptr, Store::Start::Idle);
    Store::spacesDir(); // a clear error when there is no home to work in
    store.scanSpaces();
    if (command == QLatin1String("list"))
        return list(parser, store);
    if (command == QLatin1String("links"))
        return linksCommand(
            store, arguments, parser.isSet(QStringLiteral("json")), parser.isSet(QStringLiteral("exact")));
    if (command == QLatin1String("route"))
        return routeCommand(store, arguments[0]);
    if (command == QLatin1String("create"))
        return create(parser, store, arguments);
    if (command == QLatin1String("import")) {
        const std::optional<QString> name = parser.isSet(QStringLiteral("name"))
            ? std::optional(parser.value(QStringLiteral("name")))
            : std::nullopt;
        QUrl launcher;
        UnpackSummary skipped;
        {
            const ProgressLine line;
            Transfer transfer = terminalProgress();
            transfer.skipped = &skipped;
            launcher = Store::importSpace(plainAbsolute(arguments[0]), name, transfer);
        }
        out(plainPath(launcher));
        tellSkipped(skipped);
        return 0;
    }
    const std::optional<SpaceInfo> space = findSpace(store, arguments[0]);
    if (!space)
        return failed(tandrel::tr(
            QStringLiteral("No encuentro la instancia ") + quoted(arguments[0]) + QLatin1Char('.'),
            QStringLiteral("Can't find the instance ") + quoted(arguments[0]) + QLatin1Char('.')));
    if (command == QLatin1String("open")) {
        if (arguments.size() > 1)
            return openLinksCommand(store, *space, arguments.mid(1));
        store.launchSpace(*space);
        return 0;
    }
    if (command == QLatin1String("rename")) {
        out(plainPath(store.renameSpace(*space, arguments[1])));
        return 0;
    }
    if (command == QLatin1String("badge"))
        return badge(parser, store, *space);
    if (command == QLatin1String("export") || command == QLatin1String("duplicate")) {
        UnpackSummary skipped;
        QUrl launcher;
        {
            const ProgressLine line;
            Transfer transfer = terminalProgress();
            transfer.skipped = &skipped;
            if (command == QLatin1String("export"))
                Store::exportSpace(*space, plainAbsolute(arguments[1]), transfer);
            else
                launcher = Store::duplicateSpace(*space, arguments[1], transfer);
        }
        if (!launcher.isEmpty())
            out(plainPath(launcher));
        tellSkipped(skipped);
        return 0;
    }
    const auto stop = [&space] {
        return Store::stopSpace(*space)
            ? 0
            : failed(tandrel::tr(QStringLiteral("No se pudo detener ") + quoted(space->name)
                    + QStringLiteral(": algunos de sus procesos siguen abiertos."),
                QStringLiteral("Couldn't stop ") + quoted(space->name)
                    + QStringLiteral(": some of its processes are still running.")));
    };
    if (command == QLatin1String("stop"))
        return stop();
    if (!parser.isSet(QStringLiteral("yes"))) {
        if (!::isatty(STDIN_FILENO))
            return usageError(tandrel::tr(QStringLiteral("Sin terminal, \"delete\" necesita --yes."),
                QStringLiteral("Without a terminal, \"delete\" needs --yes.")));
        if (!confirmedOnTerminal(*space))
            return 1;
    }
    if (parser.isSet(QStringLiteral("stop")) && stop() != 0)
        return 1;
    const RemovalReport report = store.deleteSpace(*space);
    return report.isComplete() ? 0 : failed(report.message());
}

} // namespace

Launch launchFor(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--lang")) {
            ++i; // its value
            continue;
        }
        if (argument.startsWith(QLatin1String("--lang=")))
            continue;
        // These draw a badged icon.
        return argument == QLatin1String("create") || argument == QLatin1String("rename")
                || argument == QLatin1String("badge") || argument == QLatin1String("import")
                || argument == QLatin1String("duplicate")
            ? Launch::DrawingCommand
            : argument == QLatin1String("route") ? Launch::Route
                                                 : Launch::Command;
    }
    return Launch::Window;
}

bool applyLanguageOption(const QStringList &arguments)
{
    std::optional<LanguageManager::Choice> choice;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == QLatin1String("--lang"))
            value = arguments.value(++i);
        else if (arguments[i].startsWith(QLatin1String("--lang=")))
            value = arguments[i].mid(7);
        else
            continue;
        if (value != QLatin1String("es") && value != QLatin1String("en"))
            return false;
        choice = value == QLatin1String("es") ? LanguageManager::Choice::Es : LanguageManager::Choice::En;
    }
    if (choice)
        LanguageManager::shared().setChoiceForThisRun(*choice);
    return true;
}

int runCommandLine(const QStringList &arguments)
{
    if (!applyLanguageOption(arguments))
        return usageError(
            tandrel::tr(QStringLiteral("--lang admite es o en."), QStringLiteral("--lang takes es or en.")));
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({ { QStringLiteral("json"), QString() },
        { QStringLiteral("apps"), QString(), QStringLiteral("folder") },
        { QStringLiteral("mode"), QString(), QStringLiteral("mode") }, { QStringLiteral("yes"), QString() },
        { QStringLiteral("stop"), QString() }, { QStringLiteral("exact"), QString() },
        { QStringLiteral("color"), QString(), QStringLiteral("color") },
        { QStringLiteral("label"), QString(), QStringLiteral("text") },
        { QStringLiteral("image"), QString(), QStringLiteral("file") },
        { QStringLiteral("name"), QString(), QStringLiteral("name") },
        { QStringLiteral("lang"), QString(), QStringLiteral("language") },
        { { QStringLiteral("h"), QStringLiteral("help") }, QString() },
        { { QStringLiteral("V"), QStringLiteral("version") }, QString() } });
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return usageError(unknown.isEmpty()
                ? tandrel::tr(QStringLiteral("Falta el valor de una opción."),
                    QStringLiteral("An option lacks its value."))
                : tandrel::tr(QStringLiteral("Opción desconocida: ")
                        + quoted(asWritten(unknown.first(), arguments)) + QLatin1Char('.'),
                    QStringLiteral("Unknown option: ") + quoted(asWritten(unknown.first(), arguments))
                        + QLatin1Char('.')));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out(helpText());
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out(QStringLiteral("tandrel ") + QStringLiteral(TANDREL_VERSION));
        out(tandrel::tr(QStringLiteral("Licencia MIT: software libre, sin garantía."),
            QStringLiteral("MIT License: free software, without warranty.")));
        return 0;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(
            tandrel::tr(QStringLiteral("Falta la orden."), QStringLiteral("The command is missing.")));
    const QString command = positional.takeFirst();
    if (!commands.contains(command))
        return usageError(
            tandrel::tr(QStringLiteral("Orden desconocida: ") + quoted(command) + QLatin1Char('.'),
                QStringLiteral("Unknown command: ") + quoted(command) + QLatin1Char('.')));

    // Each command's operands and options.
    const int operands = command == QLatin1String("create") || command == QLatin1String("rename")
            || command == QLatin1String("export") || command == QLatin1String("duplicate")
        ? 2
        : (command == QLatin1String("open") || command == QLatin1String("stop")
              || command == QLatin1String("delete") || command == QLatin1String("badge")
              || command == QLatin1String("import") || command == QLatin1String("route"))
        ? 1
        : 0;
    // "open" takes links after the instance; "links" checks its own.
    const bool operandsFit = command == QLatin1String("open") ? positional.size() >= 1
        : command == QLatin1String("links")                   ? positional.size() >= 1
                                                              : positional.size() == operands;
    if (!operandsFit)
        return usageError(tandrel::tr(
            QStringLiteral("Faltan o sobran argumentos para ") + quoted(command) + QLatin1Char('.'),
            QStringLiteral("Wrong number of arguments for ") + quoted(command) + QLatin1Char('.')));
    const QList<std::pair<QString, QStringList>> optionsOf {
        { QStringLiteral("json"),
            { QStringLiteral("apps"), QStringLiteral("list"), QStringLiteral("links") } },
        { QStringLiteral("exact"), { QStringLiteral("links") } },
        { QStringLiteral("apps"), { QStringLiteral("apps") } },
        { QStringLiteral("mode"), { QStringLiteral("create") } },
        { QStringLiteral("yes"), { QStringLiteral("delete") } },
        { QStringLiteral("stop"), { QStringLiteral("delete") } },
        { QStringLiteral("color"), { QStringLiteral("badge") } },
        { QStringLiteral("label"), { QStringLiteral("badge") } },
        { QStringLiteral("image"), { QStringLiteral("badge") } },
        { QStringLiteral("name"), { QStringLiteral("import") } }
    };
    for (const auto &[option, allowed] : optionsOf) {
        if (parser.isSet(option) && !allowed.contains(command))
            return usageError(tandrel::tr(quoted(QStringLiteral("--") + option)
                    + QStringLiteral(" no vale para ") + quoted(command) + QLatin1Char('.'),
                quoted(QStringLiteral("--") + option) + QStringLiteral(" doesn't apply to ") + quoted(command)
                    + QLatin1Char('.')));
    }
    if (parser.isSet(QStringLiteral("mode")) && !strategyFromText(parser.value(QStringLiteral("mode"))))
        return usageError(tandrel::tr(QStringLiteral("--mode admite home, udd o gecko."),
            QStringLiteral("--mode takes home, udd or gecko.")));
    if (parser.isSet(QStringLiteral("color")) && !normalizedBadgeColor(parser.value(QStringLiteral("color"))))
        return usageError(tandrel::tr(
            QStringLiteral("--color admite blue, purple, pink, orange, teal, green, indigo o #RRGGBB."),
            QStringLiteral("--color takes blue, purple, pink, orange, teal, green, indigo or #RRGGBB.")));
    if (const QString label = parser.value(QStringLiteral("label"));
        !label.isEmpty() && !isValidBadgeLabel(label))
        return usageError(tandrel::tr(QStringLiteral("--label admite uno o dos caracteres visibles."),
            QStringLiteral("--label takes one or two visible characters.")));

    try {
        return runCommand(parser, command, positional);
    } catch (const std::exception &error) {
        // Refusals and the file system's own failures carry their text as UTF-8.
        return failed(QString::fromUtf8(error.what()));
    }
}

} // namespace tandrel
