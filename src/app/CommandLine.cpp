#include "app/CommandLine.h"
#include "core/SourceLayout.h"
#include "core/layouts/LayoutChain.h"
#include <cerrno>
#include <cstdlib>

namespace sf {

namespace {

bool ParseSeconds(const std::string& text, int& out)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v <= 0)
        return false;
    out = (int)v;
    return true;
}

std::string AsFolder(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/' && dir[dir.size() - 2] == '/')
        dir.pop_back();
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

struct TArity {
    int Required = 0;
    int Optional = 0;
    const char* Usage = "";
};

bool IsCommandOption(const std::string& name)
{
    for (const char* c : {"--list", "--sources", "--check", "--add", "--remove", "--enable", "--disable",
                          "--accumulate", "--send"})
        if (name == c)
            return true;
    return false;
}

TArity CommandArity(const std::string& name)
{
    if (name == "--add")
        return {1, 1, "a radar site (and optionally a product)"};
    if (name == "--remove" || name == "--enable" || name == "--disable")
        return {1, 0, "a record key as --list prints it"};
    if (name == "--accumulate")
        return {2, 0, "a record key and on or off"};
    if (name == "--send")
        // The words after the command are its key, also when the key was not quoted.
        return {1, 16, "a command (download, redraw, loop, zoom, delete-stale, shapefiles, status, close)"};
    return {};
}

} // namespace

TParseResult ParseCommandLine(const std::vector<std::string>& args)
{
    TParseResult r;
    TCommandLine& o = r.Options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasInlineValue = false;
        if (name.rfind("--", 0) == 0) {
            auto eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto takeValue = [&](std::string& into) -> bool {
            if (hasInlineValue) {
                into = value;
            } else {
                if (i + 1 >= args.size()) {
                    r.Error = "option " + name + " needs a value";
                    return false;
                }
                into = args[++i];
            }
            if (into.empty()) {
                r.Error = "option " + name + " needs a value";
                return false;
            }
            return true;
        };
        auto noValue = [&]() -> bool {
            if (hasInlineValue) {
                r.Error = "option " + name + " takes no value";
                return false;
            }
            return true;
        };

        if (name == "--headless") {
            if (!noValue()) return r;
            o.Headless = true;
        } else if (name == "--once") {
            if (!noValue()) return r;
            o.Once = true;
        } else if (name == "--demo") {
            if (!noValue()) return r;
            o.Demo = true;
        } else if (name == "--version") {
            if (!noValue()) return r;
            o.Version = true;
        } else if (name == "--help" || name == "-h") {
            if (!noValue()) return r;
            o.Help = true;
        } else if (name == "--home") {
            std::string dir;
            if (!takeValue(dir)) return r;
            o.Home = AsFolder(dir);
        } else if (name == "--wineprefix") {
            std::string dir;
            if (!takeValue(dir)) return r;
            o.WinePrefix = AsFolder(dir);
        } else if (name == "--layout") {
            if (!takeValue(o.Layout)) return r;
            std::vector<TLayout> known;
            std::string why;
            if (!ParseLayoutList(o.Layout, known, why)) {
                // One name keeps its own message; a list names the entry at fault.
                r.Error = o.Layout.find(',') == std::string::npos
                    ? "option --layout needs " + LayoutNames(" or ") + ", not \"" + o.Layout + "\""
                    : "option --layout: " + why + " (" + LayoutNames(", ") + ")";
                return r;
            }
        } else if (name == "--demo-stall") {
            if (!takeValue(o.DemoStall)) return r;
            TLayout known = TLayout::Ridge;
            if (!ParseLayout(o.DemoStall, known)) {
                r.Error = "option --demo-stall needs " + LayoutNames(" or ") + ", not \"" + o.DemoStall + "\"";
                return r;
            }
        } else if (name == "--run-for") {
            std::string secs;
            if (!takeValue(secs)) return r;
            if (!ParseSeconds(secs, o.RunForSeconds)) {
                r.Error = "option --run-for needs a whole number of seconds above 0, not \"" + secs + "\"";
                return r;
            }
        } else if (name == "--verbose" || name == "--quiet") {
            if (!noValue()) return r;
            const TOutputLevel level = name == "--verbose" ? TOutputLevel::Verbose : TOutputLevel::Quiet;
            if (o.Level != TOutputLevel::Normal && o.Level != level) {
                r.Error = "--verbose and --quiet cannot be combined";
                return r;
            }
            o.Level = level;
        } else if (IsCommandOption(name)) {
            if (!o.Command.Verb.empty()) {
                r.Error = "only one command at a time (--" + o.Command.Verb + " and " + name + ")";
                return r;
            }
            if (hasInlineValue) {
                r.Error = "option " + name + " takes its values as separate arguments";
                return r;
            }
            o.Command.Verb = name.substr(2);
            const TArity arity = CommandArity(name);
            for (int k = 0; k < arity.Required; ++k) {
                if (i + 1 >= args.size() || args[i + 1].empty()) {
                    r.Error = "option " + name + " needs " + arity.Usage;
                    return r;
                }
                o.Command.Args.push_back(args[++i]);
            }
            for (int k = 0; k < arity.Optional; ++k) {
                if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].rfind("--", 0) == 0)
                    break;
                o.Command.Args.push_back(args[++i]);
            }
        } else if (name.rfind("-", 0) == 0) {
            r.Error = "unknown option " + name;
            return r;
        } else {
            r.Error = "unexpected argument \"" + name + "\"";
            return r;
        }
    }
    if (!o.DemoStall.empty() && !o.Demo) {
        r.Error = "--demo-stall needs --demo";
        return r;
    }
    if (!o.Layout.empty() && !o.Demo) {
        // Without --demo the option is the station command that stores [URL] Layout.
        if (!o.Command.Verb.empty()) {
            r.Error = "only one command at a time (--" + o.Command.Verb + " and --layout)";
            return r;
        }
        o.Command = {"layout", {o.Layout}};
        o.Layout.clear();
    }
    if (o.Once && o.RunForSeconds > 0) {
        r.Error = "--once and --run-for cannot be combined";
        return r;
    }
    if (!o.Command.Verb.empty() && (o.Once || o.RunForSeconds > 0)) {
        r.Error = "--" + o.Command.Verb + " cannot be combined with --once or --run-for";
        return r;
    }
    if (o.Command.Verb == "accumulate") {
        const std::string& v = o.Command.Args[1];
        if (v != "on" && v != "off") {
            r.Error = "--accumulate needs on or off, not \"" + v + "\"";
            return r;
        }
    }
    return r;
}

std::string UsageText(const std::string& homeDefault)
{
    const std::string names = LayoutNames("|");
    return "Usage: stormfetch [--headless] [--home DIR] [--wineprefix DIR] [--once] [--run-for SECONDS]\n"
           "                  [--demo [--layout " + names + "]] [--verbose | --quiet] [--version] [--help]\n"
           "       stormfetch [--home DIR] COMMAND\n"
           "Keeps the map of a UI-View32 station supplied with current radar underlays.\n"
           "\n"
           "  --headless         no window: status lines go to standard output, errors to standard error\n"
           "  --home DIR         program folder (settings, lists, error log); default: " + homeDefault + "\n"
           "  --wineprefix DIR   Wine prefix holding UI-View32 and its map server; default: $WINEPREFIX, else ~/.wine\n"
           "  --once             start, run one scheduler tick, close (exit 0; 3 without a map server)\n"
           "  --run-for SECONDS  run, then close normally after SECONDS\n"
           "  --demo             run against a built-in radar feed and a built-in map host, in demo/ of the program folder\n"
           "  --layout NAME      with --demo: the source layout the feed is read in (default ridge)\n"
           "  --demo-stall NAME  with --demo: that layout of the feed answers 503 (try --layout nwswms,iem)\n"
           "  --version          print the version\n"
           "  --verbose          also print the connection states of every transfer\n"
           "  --quiet            print only errors and summaries\n"
           "  --help             print this text\n"
           "\n"
           "Commands (sent to the running copy when there is one, else applied to the program folder):\n"
           "  --list                   print the download list\n"
           "  --sources                print the radar sites and products that can be added\n"
           "  --add RADAR [PRODUCT]    add a site (LOT, or a whole source line) with a product (default N0R)\n"
           "  --remove KEY             remove a record (KEY as --list prints it, e.g. \"LOT N0R\")\n"
           "  --enable KEY, --disable KEY, --accumulate KEY on|off\n"
           "  --check                  check the set-up, one line per item; non-zero at the first problem\n"           "  --layout NAME            choose where the radar comes from, " + names + " ([URL] Layout); a list\n"
           "                           NAME,NAME asks the next when the first fails or stalls\n"
           "  --send download [KEY] | redraw | loop | zoom | delete-stale | shapefiles | status | close\n"
           "                           drive the running copy\n"
           "\n"
           "Exit status: 0 normal close or command done, 1 command refused or failed,\n"
           "2 command-line error, unknown site or product, unusable program folder, or (--once) a failed start-up step,\n"
           "3 no map-server folder (--once) or UI-View32 missing, 4 every fetch of --once failed.\n";
}

} // namespace sf
