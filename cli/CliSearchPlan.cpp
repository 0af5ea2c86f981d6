#include "cli/CliSearchPlan.h"

#include <algorithm>
#include <optional>

#include "links/EnginesFile.h"
#include "links/LinkFile.h"

namespace qx {

namespace {

void AppendRows(std::vector<RemainingRow>& to, std::vector<RemainingRow> rows) {
    to.insert(to.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

// The "SE" command over every engine of the file: the messages it shows and
// the rows it adds. `searchText` is the search box exactly as typed.
void AddEngineRows(const std::optional<std::vector<std::string>>& lines,
                   const std::string& searchText, CliSearchPlan& plan) {
    if (!lines) {
        plan.messages.push_back(CliSearchPlan::kMsgFailedToOpen);
        return;
    }
    if (searchText.empty()) {
        plan.messages.push_back(CliSearchPlan::kMsgNoItem);
        return;
    }
    if (lines->empty()) {
        plan.messages.push_back(CliSearchPlan::kMsgNoEngines);
        return;
    }
    std::string words = EnginesFile::QueryWords(searchText);
    AppendRows(plan.rows, CliSearchPlan::RowsFromLines(*lines, &words));
}

void BuildCommandLineSearch(const std::string& commandLine, const std::string& programFolder,
                            CliSearchPlan& plan) {
    // The platform hands the program its command line without leading blanks.
    std::string line =
        commandLine.substr(std::min(commandLine.find_first_not_of(' '), commandLine.size()));
    AddEngineRows(EnginesFile::Read(EnginesFile::Location(programFolder)), line, plan);
    plan.controls.search = line;
    CliSearchPlan::SplitCommandLine(line, plan.controls.search, plan.controls.include);
    plan.controls.maxDepthOn = true;
    plan.controls.maxDepth = "0";
    plan.controls.describeOn = true;
    plan.controls.describeForward = "10";
    plan.controls.describeBackward = "2";
}

}  // namespace

std::vector<RemainingRow> CliSearchPlan::RowsFromLines(const std::vector<std::string>& lines,
                                                       const std::string* queryWords) {
    std::vector<RemainingRow> rows;
    for (std::string line : lines) {
        LinkLine link = LinkFile::ParseLine(line);
        if (link.url.empty()) {
            continue;
        }
        RemainingRow row;
        row.url = queryWords ? EnginesFile::QueryUrl(link.url, *queryWords) : link.url;
        row.maxDepth = link.depth.empty() ? "infinity" : link.depth;
        row.width = link.width.empty() ? "infinity" : link.width;
        rows.push_back(std::move(row));
    }
    return rows;
}

void CliSearchPlan::SplitCommandLine(const std::string& line, std::string& search,
                                     std::string& include) {
    std::size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0) {
        return;
    }
    search = line.substr(0, blank);
    if (blank + 1 < line.size()) {
        include = line.substr(blank + 1);
        std::replace(include.begin(), include.end(), ' ', ',');
    }
}

CliSearchPlan CliSearchPlan::Build(const CliOptions& options, const std::string& programFolder) {
    CliSearchPlan plan;
    plan.controls = ToSearchControls(options);
    if (options.commandLine) {
        BuildCommandLineSearch(*options.commandLine, programFolder, plan);
    }
    if (options.enginesFile) {
        auto lines = EnginesFile::Read(*options.enginesFile);
        if (!lines) {
            plan.error = "cannot read the engines file \"" + *options.enginesFile + "\"";
            return plan;
        }
        AddEngineRows(lines, plan.controls.search, plan);
    }
    if (options.linksFile) {
        auto lines = LinkFile::ReadLines(*options.linksFile);
        if (!lines) {
            plan.error = "cannot read the link file \"" + *options.linksFile + "\"";
            return plan;
        }
        AppendRows(plan.rows, RowsFromLines(*lines, nullptr));
    }
    AppendRows(plan.rows, StartRows(options));
    return plan;
}

}  // namespace qx
