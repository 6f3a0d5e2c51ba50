// Web links routed to instances.
//
// BM_RuleLookup/<rules>: ruleFor over that many rules (plausible hosts, some for a host
// only, some with nested sites where the longest must win), asked in turn for links that
// match exactly, match deep below a site, match a rule for a host only from below (no
// match), and match nothing. Time per lookup.
//
// BM_RouteWithRule: what "tandrel route URL" adds before the browser starts. A temporary
// home holds a stand-in browser's desktop entry (Exec=/bin/true %U) and 20 instances made
// by the real executable ("tandrel create"), and a rule sends example.com to the first.
// Each iteration runs, one after the other, "tandrel route https://example.com/x" and
// "gio launch <that instance's entry> https://example.com/x", each timed from the process's
// start to its exit; the medians and their difference are reported.
//
// BM_ChooserFirstFrame: tandrel-chooser-probe (the chooser a link without a rule shows,
// from main to its first painted frame) and tandrel-startup-probe (the window, the same
// way) started in turn, offscreen, in that same home; medians of each.
#include "support/BenchSupport.h"

#include "model/LinkRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

// --- Rule lookup -------------------------------------------------------------------------

// A plausible registrable domain for index i: one or two words, a common suffix.
QString siteName(int index)
{
    static const char *const words[] = { "north", "blue", "river", "cloud", "paper", "stone", "bright",
        "harbor", "maple", "orbit", "pixel", "summit", "cedar", "lumen", "atlas", "delta", "falcon", "garden",
        "meadow", "signal", "copper", "willow", "ember", "tidal", "quartz", "forge", "nimbus", "vertex",
        "harvest", "lantern", "canyon", "beacon" };
    static const char *const suffixes[]
        = { "com", "org", "net", "io", "de", "co.uk", "fr", "app", "dev", "com.au", "es", "co" };
    constexpr int wordCount = int(std::size(words));
    const int a = index % wordCount;
    const int b = (index / wordCount) % wordCount;
    const int s = (index * 7 + index / wordCount) % int(std::size(suffixes));
    QString name = QLatin1String(words[a]);
    if (index >= wordCount)
        name += (index % 3 == 0 ? QStringLiteral("-") : QString()) + QLatin1String(words[b]);
    if (index >= wordCount * wordCount)
        name += QString::number(index / (wordCount * wordCount));
    return name + QLatin1Char('.') + QLatin1String(suffixes[s]);
}

struct Lookups
{
    QList<LinkRule> rules;
    QList<QUrl> links;
};

// Of every ten rules: six for a site and its subdomains, two for a service host below a
// site that also has a rule (mail.<site>, so the longer one must win), two for a host only.
Lookups makeLookups(int count)
{
    Lookups lookups;
    lookups.rules.reserve(count);
    for (int i = 0; lookups.rules.size() < count; ++i) {
        const QString site = siteName(i);
        const QString target = QStringLiteral("instance-%1").arg(i % 40, 4, 10, QLatin1Char('0'));
        switch (i % 10) {
        case 3:
        case 7:
            lookups.rules.append({ site, true, target });
            if (lookups.rules.size() < count)
                lookups.rules.append(
                    { QStringLiteral("mail.") + site, true, target + QStringLiteral("-mail") });
            break;
        case 5:
        case 9:
            lookups.rules.append({ QStringLiteral("www.") + site, false, target });
            break;
        default:
            lookups.rules.append({ site, true, target });
        }
    }
    // Shuffled with a fixed seed: the order in the settings is the order of adding.
    std::srand(7);
    for (qsizetype i = lookups.rules.size() - 1; i > 0; --i)
        lookups.rules.swapItemsAt(i, std::rand() % (i + 1));

    const auto url = [](const QString &text) { return QUrl(text, QUrl::StrictMode); };
    for (int i = 0; i < 64; ++i) {
        const QString site = siteName((i * 37) % (count * 8 / 10));
        switch (i % 8) {
        case 0: // the site itself
            lookups.links << url(QStringLiteral("https://") + site + QStringLiteral("/"));
            break;
        case 1: // deep below a site, with a long path and query
            lookups.links << url(QStringLiteral("https://eu.static.cdn.assets.") + site
                + QStringLiteral("/v2/projects/4821/tickets?sort=updated&page=3#comment-19"));
            break;
        case 2: // below a nested rule: the longer site wins
            lookups.links << url(QStringLiteral("https://inbox.mail.") + siteName(3 + 10 * (i % 20))
                + QStringLiteral("/u/0/"));
            break;
        case 3: // a host-only rule asked from below: no match
            lookups.links << url(
                QStringLiteral("https://login.www.") + siteName(5 + 10 * (i % 20)) + QStringLiteral("/"));
            break;
        case 4: // a host-only rule, exactly
            lookups.links << url(
                QStringLiteral("http://www.") + siteName(9 + 10 * (i % 20)) + QStringLiteral("/index.html"));
            break;
        case 5: // nothing matches
            lookups.links << url(QStringLiteral("https://news.unlisted-") + QString::number(i)
                + QStringLiteral(".example/article/2024/05/some-long-title-of-an-article"));
            break;
        case 6: // a suffix of a site without its dot: no match
            lookups.links << url(QStringLiteral("https://x") + site + QStringLiteral("/"));
            break;
        default: // upper case and a port
            lookups.links << url(QStringLiteral("https://WWW.") + site.toUpper() + QStringLiteral(":8443/a"));
        }
    }
    return lookups;
}

void BM_RuleLookup(benchmark::State &state)
{
    const Lookups lookups = makeLookups(int(state.range(0)));
    qsizetype next = 0;
    qint64 matched = 0;
    for (auto _ : state) {
        const std::optional<LinkRule> rule = ruleFor(lookups.rules, lookups.links[next]);
        matched += rule.has_value();
        benchmark::DoNotOptimize(rule);
        next = (next + 1) % lookups.links.size();
    }
    state.counters["matched_share"] = state.iterations() ? double(matched) / double(state.iterations()) : 0;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RuleLookup)->ArgName("rules")->Arg(1000)->Unit(benchmark::kMicrosecond);

// --- The home with a browser and its instances -------------------------------------------

constexpr int instanceCount = 20;

struct Run
{
    int status = -1;
    QByteArray out;
    double ms = 0;
};

struct Home
{
    QTemporaryDir dir;
    QProcessEnvironment environment;
    QString browserEntry;
    QString routedEntry; // the desktop entry of the instance example.com is sent to
    QString routedName;
    QString emptyApps;

    Home()
    {
        if (!dir.isValid())
            std::abort();
        const auto folder = [this](const QString &relative) {
            const QString path = dir.filePath(relative);
            if (!QDir().mkpath(path))
                std::abort();
            return path;
        };
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), folder(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder(QStringLiteral("home/.config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder(QStringLiteral("home/.local/share")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), folder(QStringLiteral("home/.cache")));
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), folder(QStringLiteral("share")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        emptyApps = folder(QStringLiteral("apps"));

        const QString applications = folder(QStringLiteral("home/.local/share/applications"));
        const QString icon = dir.filePath(QStringLiteral("share/stand-in-browser.png"));
        if (!realisticIconImage(256).save(icon))
            std::abort();
        browserEntry = applications + QStringLiteral("/org.example.StandInBrowser.desktop");
        QFile entry(browserEntry);
        if (!entry.open(QIODevice::WriteOnly)
            || entry.write(
                   "[Desktop Entry]\nType=Application\nName=Stand-in Browser\nExec=/bin/true %U\nIcon="
                   + QFile::encodeName(icon)
                   + "\nCategories=Network;WebBrowser;\n"
                     "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n")
                <= 0)
            std::abort();
        entry.close();

        for (int i = 0; i < instanceCount; ++i) {
            const QString name = i == 0 ? QStringLiteral("Work") : QStringLiteral("Account %1").arg(i + 1);
            const QStringList arguments { QStringLiteral("create"), browserEntry, name };
            if (run(QStringLiteral(TANDREL_EXECUTABLE), arguments, true).status != 0)
                fail("tandrel create failed");
        }
        const Run listed
            = run(QStringLiteral(TANDREL_EXECUTABLE), { QStringLiteral("list"), QStringLiteral("--json") });
        for (const QJsonValue &value : QJsonDocument::fromJson(listed.out).array()) {
            const QJsonObject space = value.toObject();
            if (space.value(QStringLiteral("name")).toString() == QLatin1String("Work")) {
                routedName = space.value(QStringLiteral("displayName")).toString();
                routedEntry = space.value(QStringLiteral("wrapper")).toString();
            }
        }
        if (routedName.isEmpty() || !QFileInfo(routedEntry).isFile())
            fail("the instance is not listed");
        if (run(QStringLiteral(TANDREL_EXECUTABLE),
                { QStringLiteral("links"), QStringLiteral("add"), QStringLiteral("example.com"), routedName })
                .status
            != 0)
            fail("tandrel links add failed");
    }

    [[noreturn]] static void fail(const char *what)
    {
        std::fprintf(stderr, "bench_links: %s\n", what);
        std::abort();
    }

    // Runs the program to its end; the time is from the start to the exit.
    // The notices of "create" (what the stand-in browser does not allow) are left out.
    Run run(const QString &program, const QStringList &arguments, bool quiet = false) const
    {
        QProcess process;
        process.setProgram(program);
        process.setArguments(arguments);
        process.setProcessEnvironment(environment);
        if (quiet)
            process.setStandardErrorFile(QProcess::nullDevice());
        else
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Run result;
        const auto spawned = std::chrono::steady_clock::now();
        process.start();
        if (!process.waitForFinished(60'000))
            return result;
        result.ms = secondsSince(spawned) * 1000;
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        return result;
    }
};

Home &home()
{
    static const std::unique_ptr<Home> home = std::make_unique<Home>();
    return *home;
}

// --- Routing with a rule ------------------------------------------------------------------

void BM_RouteWithRule(benchmark::State &state)
{
    const Home &h = home();
    const QString link = QStringLiteral("https://example.com/x");
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) {
        state.SkipWithError("no gio on the PATH");
        return;
    }
    // One of each first, not counted: the executables and the entries come into the page cache.
    h.run(QStringLiteral(TANDREL_EXECUTABLE), { QStringLiteral("route"), link });
    h.run(gio, { QStringLiteral("launch"), h.routedEntry, link });
    std::vector<double> routed;
    std::vector<double> direct;
    for (auto _ : state) {
        const Run route = h.run(QStringLiteral(TANDREL_EXECUTABLE), { QStringLiteral("route"), link });
        const Run launch = h.run(gio, { QStringLiteral("launch"), h.routedEntry, link });
        if (route.status != 0 || launch.status != 0) {
            state.SkipWithError(route.status != 0 ? "tandrel route failed" : "gio launch failed");
            break;
        }
        routed.push_back(route.ms);
        direct.push_back(launch.ms);
        state.SetIterationTime(route.ms / 1000);
    }
    state.counters["route_median_ms"] = median(routed);
    state.counters["gio_launch_median_ms"] = median(direct);
    state.counters["added_ms"] = median(routed) - median(direct);
    state.counters["instances"] = instanceCount;
}
BENCHMARK(BM_RouteWithRule)->Iterations(21)->UseManualTime()->Unit(benchmark::kMillisecond);

// --- The chooser's first frame, beside the window's ---------------------------------------

// Runs a probe and gives the fields of the line it prints ("key=value ..."), by key.
std::optional<QMap<QByteArray, double>> probe(
    const Home &h, const QString &program, const QStringList &arguments)
{
    const Run run = h.run(program, arguments);
    if (run.status != 0)
        return std::nullopt;
    QMap<QByteArray, double> fields;
    for (const QByteArray &field : run.out.trimmed().split(' ')) {
        const qsizetype equals = field.indexOf('=');
        if (equals > 0)
            fields.insert(field.left(equals), field.mid(equals + 1).toDouble());
    }
    return fields;
}

void BM_ChooserFirstFrame(benchmark::State &state)
{
    const Home &h = home();
    std::vector<double> chooser;
    std::vector<double> window;
    std::vector<double> chooserRss;
    std::vector<double> windowRss;
    double targets = 0;
    double apps = 0;
    for (auto _ : state) {
        const auto shown
            = probe(h, QStringLiteral(TANDREL_CHOOSER_PROBE), { QStringLiteral("https://example.org/a") });
        const auto started = probe(h, QStringLiteral(TANDREL_STARTUP_PROBE), { h.emptyApps });
        if (!shown || !started || !shown->contains("chooser_ms") || !started->contains("startup_ms")) {
            state.SkipWithError("a probe failed or printed something else");
            break;
        }
        chooser.push_back(shown->value("chooser_ms"));
        chooserRss.push_back(shown->value("maxrss_kb") / 1024);
        targets = shown->value("targets");
        window.push_back(started->value("startup_ms"));
        windowRss.push_back(started->value("maxrss_kb") / 1024);
        apps = started->value("apps");
        state.SetIterationTime(chooser.back() / 1000);
    }
    state.counters["chooser_median_ms"] = median(chooser);
    state.counters["window_median_ms"] = median(window);
    state.counters["chooser_peak_rss_MB"]
        = chooserRss.empty() ? 0 : *std::max_element(chooserRss.begin(), chooserRss.end());
    state.counters["window_peak_rss_MB"]
        = windowRss.empty() ? 0 : *std::max_element(windowRss.begin(), windowRss.end());
    state.counters["targets"] = targets;
    state.counters["window_apps"] = apps;
}
BENCHMARK(BM_ChooserFirstFrame)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
