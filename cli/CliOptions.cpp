#include "cli/CliOptions.h"

#include <charconv>
#include <functional>
#include <utility>

namespace qx {

namespace {

enum class ValueKind { kNone, kText, kInt, kIntPair, kThreeTexts };

struct OptionSpec {
    const char* name;
    ValueKind kind;
    const char* valueName;
    const char* help;
    // Exactly one of these is used, according to kind.
    std::function<void(CliOptions&)> setFlag;
    std::function<void(CliOptions&, const std::string&)> setText;
    std::function<void(CliOptions&, int)> setInt;
    std::function<void(CliOptions&, int, int)> setPair;
    std::function<void(CliOptions&, std::vector<std::string>)> setTexts;
};

OptionSpec Flag(const char* name, const char* help, std::function<void(CliOptions&)> set) {
    return {name, ValueKind::kNone, "", help, std::move(set), {}, {}, {}, {}};
}

OptionSpec Text(const char* name, const char* valueName, const char* help,
                std::function<void(CliOptions&, const std::string&)> set) {
    return {name, ValueKind::kText, valueName, help, {}, std::move(set), {}, {}, {}};
}

OptionSpec Int(const char* name, const char* valueName, const char* help,
               std::function<void(CliOptions&, int)> set) {
    return {name, ValueKind::kInt, valueName, help, {}, {}, std::move(set), {}, {}};
}

OptionSpec Pair(const char* name, const char* valueName, const char* help,
                std::function<void(CliOptions&, int, int)> set) {
    return {name, ValueKind::kIntPair, valueName, help, {}, {}, {}, std::move(set), {}};
}

// An option followed by three separate arguments.
OptionSpec ThreeTexts(const char* name, const char* valueNames, const char* help,
                      std::function<void(CliOptions&, std::vector<std::string>)> set) {
    return {name, ValueKind::kThreeTexts, valueNames, help, {}, {}, {}, {}, std::move(set)};
}

const std::vector<OptionSpec>& OptionTable() {
    static const std::vector<OptionSpec> table = {
        Text("--search", "TEXT", "the search item (required unless --command-line)",
             [](CliOptions& o, const std::string& v) { o.search = v; }),
        Text("--target", "N", "Target: $ (a price below which a number must lie)",
             [](CliOptions& o, const std::string& v) { o.target = v; }),
        Text("--include", "WORDS", "Include: words separated by ',' or ';'",
             [](CliOptions& o, const std::string& v) { o.include = v; }),
        Text("--exclude", "WORDS", "Exclude: words separated by ',' or ';'",
             [](CliOptions& o, const std::string& v) { o.exclude = v; }),
        Int("--max-depth", "N", "Max Depth: (-1: unlimited)",
            [](CliOptions& o, int v) { o.maxDepth = v; }),
        Int("--width-depth", "N", "Width Depth:", [](CliOptions& o, int v) { o.widthDepth = v; }),
        Int("--default-width", "N",
            "Default Width:", [](CliOptions& o, int v) { o.defaultWidth = v; }),
        Int("--max-connections", "N", "Max Connections: (default 25)",
            [](CliOptions& o, int v) { o.maxConnections = v; }),
        Int("--max-remaining", "N",
            "Max Remaining:", [](CliOptions& o, int v) { o.maxRemaining = v; }),
        Flag("--stop-on-match", "Stop on Match", [](CliOptions& o) { o.stopOnMatch = true; }),
        Flag("--item-include", "Item Include", [](CliOptions& o) { o.itemInclude = true; }),
        Flag("--no-remove", "No Remove", [](CliOptions& o) { o.noRemove = true; }),
        Pair("--describe", "F,R", "Describe: f F, r R",
             [](CliOptions& o, int f, int r) {
                 o.describeForward = f;
                 o.describeBackward = r;
             }),
        Pair("--engine-timing", "REVS,DAMP", "Engine Timing: revs and damp in msec",
             [](CliOptions& o, int revs, int damp) {
                 o.engineRevs = revs;
                 o.engineDamp = damp;
             }),
        Flag("--include-url", "Include URL", [](CliOptions& o) { o.includeUrl = true; }),
        Flag("--engine-stats", "Print the engine's rounds and counted examinations at the end",
             [](CliOptions& o) { o.engineStats = true; }),
        Flag("--exclude-url", "Exclude URL", [](CliOptions& o) { o.excludeUrl = true; }),
        Flag("--explain", "write a skip line for every link not followed: why, the URL, its page",
             [](CliOptions& o) { o.explain = true; }),
        Flag("--summary", "print the search's figures on stderr at the end (JSON with --json)",
             [](CliOptions& o) { o.summary = true; }),
        Int("--repeat", "SECONDS", "Repeat first URL every: SECONDS s",
            [](CliOptions& o, int v) { o.repeatSeconds = v; }),
        Flag("--robot-exclusion", "obey the robot exclusion rule",
             [](CliOptions& o) { o.robotExclusion = true; }),
        Flag("--obey-robots", "obey each site's robots.txt (Obey robots.txt)",
             [](CliOptions& o) { o.obeyRobots = true; }),
        ThreeTexts("--robots-check", "FILE AGENT URL",
                   "print whether the robots.txt FILE allows user agent AGENT to fetch URL "
                   "(allowed or disallowed), and exit",
                   [](CliOptions& o, std::vector<std::string> v) {
                       o.robotsCheck = CliRobotsCheck{v[0], v[1], v[2]};
                   }),
        Text("--identity", "TEXT", "the user agent sent with every request",
             [](CliOptions& o, const std::string& v) { o.identity = v; }),
        Int("--per-host", "N", "Connections per host: at most N requests to one host at once",
            [](CliOptions& o, int v) { o.perHost = v; }),
        Flag("--slow-down",
             "Slow down when asked: retry a 429 or 503 after its Retry-After (at most 3 "
             "times) and slow its host down",
             [](CliOptions& o) { o.slowDown = true; }),
        Flag("--polite", "obey robots.txt, 4 connections per host and slow down when asked",
             [](CliOptions& o) { o.polite = true; }),
        Text("--links", "FILE", "add every line of a link file as a start URL",
             [](CliOptions& o, const std::string& v) { o.linksFile = v; }),
        Text("--engines", "FILE", "add one start URL per engine of an engines file",
             [](CliOptions& o, const std::string& v) { o.enginesFile = v; }),
        Text("--command-line", "WORDS",
             "search like the program started with WORDS: every engine of the program "
             "folder's engines.qeg, first word searched, the rest as Include words",
             [](CliOptions& o, const std::string& v) { o.commandLine = v; }),
        Flag("--json", "write JSON Lines instead of tab-separated lines",
             [](CliOptions& o) { o.json = true; }),
        Flag("--csv", "write CSV (kind,Title,URL,Result) instead of tab-separated lines",
             [](CliOptions& o) { o.csv = true; }),
        Flag("--help", "show this text", [](CliOptions& o) { o.help = true; }),
        Flag("--version", "show the version", [](CliOptions& o) { o.version = true; }),
    };
    return table;
}

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& entry : OptionTable()) {
        if (name == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsInteger(const std::string& text) {
    return ParseCliInt(text).has_value();
}

// Applies one option's value; returns an error text or "".
std::string ApplyValue(const OptionSpec& entry, const std::string& value, CliOptions& options) {
    switch (entry.kind) {
        case ValueKind::kNone:
            entry.setFlag(options);
            return "";
        case ValueKind::kText:
            entry.setText(options, value);
            return "";
        case ValueKind::kThreeTexts:
            return "";  // taken by TakeThreeTexts
        case ValueKind::kInt: {
            std::optional<int> number = ParseCliInt(value);
            if (!number) {
                return std::string(entry.name) + " needs a number, not \"" + value + "\"";
            }
            entry.setInt(options, *number);
            return "";
        }
        case ValueKind::kIntPair: {
            std::size_t comma = value.find(',');
            std::optional<int> first, second;
            if (comma != std::string::npos) {
                first = ParseCliInt(value.substr(0, comma));
                second = ParseCliInt(value.substr(comma + 1));
            }
            if (!first || !second) {
                return std::string(entry.name) + " needs two numbers " + entry.valueName +
                       ", not \"" + value + "\"";
            }
            entry.setPair(options, *first, *second);
            return "";
        }
    }
    return "";
}

// Takes the three arguments after args[i], moving i past them; returns an
// error text or "".
std::string TakeThreeTexts(const OptionSpec& entry, bool inlineValue,
                           const std::vector<std::string>& args, std::size_t& i,
                           CliOptions& options) {
    if (inlineValue || i + 3 >= args.size()) {
        return std::string(entry.name) + " needs three values " + entry.valueName;
    }
    if (args[i + 1].empty() || args[i + 3].empty()) {
        return std::string(entry.name) + " needs a file name and a URL";
    }
    std::vector<std::string> values(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                    args.begin() + static_cast<std::ptrdiff_t>(i) + 4);
    i += 3;
    entry.setTexts(options, std::move(values));
    return "";
}

// Adds a positional argument: a URL, or a limit of the URL before it.
std::string AddPositional(const std::string& arg, std::vector<CliStartUrl>& urls,
                          int& limitsTaken) {
    if (IsInteger(arg)) {
        if (urls.empty() || limitsTaken > 2) {
            return "the number " + arg + " does not follow a URL";
        }
        if (limitsTaken == 0) {
            urls.back().maxDepth = arg;
        } else if (limitsTaken == 1) {
            urls.back().width = arg;
        } else {
            return "too many numbers after " + urls.back().url + " (max depth and width only)";
        }
        ++limitsTaken;
        return "";
    }
    if (arg.empty()) {
        return "an empty URL was given";
    }
    urls.push_back(CliStartUrl{arg});
    limitsTaken = 0;
    return "";
}

std::string CheckComplete(const CliOptions& options) {
    // Below -1 the engine would run neither a repeat nor a normal crawl.
    if (options.repeatSeconds && *options.repeatSeconds < -1) {
        return "--repeat needs seconds (0 or more, or -1 for no repeat), not " +
               std::to_string(*options.repeatSeconds);
    }
    if (options.perHost && *options.perHost < 1) {
        return "--per-host needs 1 or more connections, not " + std::to_string(*options.perHost);
    }
    if (options.json && options.csv) {
        return "--json and --csv cannot be used together";
    }
    if (options.help || options.version || options.commandLine || options.robotsCheck) {
        return "";
    }
    if (!options.search) {
        return "no search item: give --search TEXT";
    }
    if (options.startUrls.empty() && !options.linksFile && !options.enginesFile) {
        return "no start URL: give at least one URL (or --links FILE, --engines FILE)";
    }
    return "";
}

}  // namespace

std::optional<int> ParseCliInt(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

void ApplyPoliteOptions(const CliOptions& options, Preferences& prefs) {
    if (options.polite) {
        prefs.ObeyRobots = 1;
        prefs.PerHostOn = 1;
        prefs.PerHost = Preferences::kDefaultPerHost;
        prefs.SlowDown = 1;
    }
    if (options.perHost) {
        prefs.PerHostOn = 1;
        prefs.PerHost = *options.perHost;
    }
    if (options.slowDown) {
        prefs.SlowDown = 1;
    }
}

CliParseResult ParseCliOptions(const std::vector<std::string>& args) {
    CliParseResult result;
    CliOptions& options = result.options;
    int limitsTaken = 0;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool looksLikeOption = !optionsEnded && arg.size() > 1 && arg[0] == '-' && !IsInteger(arg);
        if (!looksLikeOption) {
            if (!optionsEnded && arg == "-") {
                result.error = "unknown option \"-\"";
                return result;
            }
            result.error = AddPositional(arg, options.startUrls, limitsTaken);
            if (!result.error.empty()) {
                return result;
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const OptionSpec* entry = FindOption(name);
        if (!entry) {
            result.error = "unknown option \"" + name + "\" (see --help)";
            return result;
        }
        // An option ends the limits of the URL before it.
        limitsTaken = 3;
        std::string value;
        if (entry->kind == ValueKind::kThreeTexts) {
            result.error = TakeThreeTexts(*entry, inlineValue.has_value(), args, i, options);
            if (!result.error.empty()) {
                return result;
            }
            continue;
        }
        if (entry->kind == ValueKind::kNone) {
            if (inlineValue) {
                result.error = std::string(entry->name) + " takes no value";
                return result;
            }
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = std::string(entry->name) + " needs a value " + entry->valueName;
            return result;
        }
        result.error = ApplyValue(*entry, value, options);
        if (!result.error.empty()) {
            return result;
        }
    }
    result.error = CheckComplete(options);
    result.ok = result.error.empty();
    return result;
}

namespace {

void SetEdit(const std::optional<int>& value, bool& checked, std::string& edit) {
    checked = value.has_value();
    edit = value ? std::to_string(*value) : std::string();
}

}  // namespace

SearchControls ToSearchControls(const CliOptions& options) {
    SearchControls controls;
    controls.search = options.search.value_or("");
    controls.target = options.target;
    controls.include = options.include;
    controls.exclude = options.exclude;
    SetEdit(options.repeatSeconds, controls.repeatOn, controls.repeatSeconds);
    controls.stopOnMatch = options.stopOnMatch;
    SetEdit(options.maxDepth, controls.maxDepthOn, controls.maxDepth);
    SetEdit(options.widthDepth, controls.widthDepthOn, controls.widthDepth);
    SetEdit(options.maxConnections, controls.maxConnectionsOn, controls.maxConnections);
    SetEdit(options.defaultWidth, controls.defaultWidthOn, controls.defaultWidth);
    controls.itemInclude = options.itemInclude;
    bool backwardSet = false;
    SetEdit(options.describeForward, controls.describeOn, controls.describeForward);
    SetEdit(options.describeBackward, backwardSet, controls.describeBackward);
    bool dampSet = false;
    SetEdit(options.engineRevs, controls.engineTimingOn, controls.engineRevs);
    SetEdit(options.engineDamp, dampSet, controls.engineDamp);
    controls.noRemove = options.noRemove;
    SetEdit(options.maxRemaining, controls.maxRemainingOn, controls.maxRemaining);
    controls.excludeUrl = options.excludeUrl;
    controls.includeUrl = options.includeUrl;
    return controls;
}

std::vector<RemainingRow> StartRows(const CliOptions& options) {
    std::vector<RemainingRow> rows;
    rows.reserve(options.startUrls.size());
    for (const CliStartUrl& start : options.startUrls) {
        rows.push_back(RemainingRow{start.url, "", start.maxDepth, start.width});
    }
    return rows;
}

std::string CliUsage() {
    std::string text =
        "Usage: quillex-cli --search TEXT [options] URL [MAXDEPTH [WIDTH]] [URL ...]\n"
        "\n"
        "Crawls from the start URLs and reports every scanned page and every match.\n"
        "A number after a URL is its max depth, a second one its width (-1: no limit).\n"
        "\n"
        "Options:\n";
    for (const OptionSpec& entry : OptionTable()) {
        std::string left = std::string("  ") + entry.name;
        if (entry.kind != ValueKind::kNone) {
            left += std::string(" ") + entry.valueName;
        }
        if (left.size() < 28) {
            left.resize(28, ' ');
        } else {
            left += "\n" + std::string(28, ' ');
        }
        text += left + entry.help + "\n";
    }
    text +=
        "\n"
        "Output (stdout): scan<TAB>title<TAB>url<TAB>result and\n"
        "match<TAB>title<TAB>url<TAB>description lines, JSON Lines with --json, or\n"
        "CSV with --csv (a header line, then kind,title,url,result records, CR LF).\n"
        "--explain adds skip<TAB>reason<TAB>url<TAB>page lines (JSON type \"skip\"; CSV kind\n"
        "skip with the page in the Result column and the reason last).\n"
        "Exit status: 0 when the search finished, 2 for bad arguments or a refused start,\n"
        "130 after Ctrl-C, 143 after SIGTERM.\n";
    return text;
}

}  // namespace qx
