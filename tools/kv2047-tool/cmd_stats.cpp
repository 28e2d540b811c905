// kv2047-tool stats FILE [--from N] [--to N] [--format json|txt]: statistics of
// a saved run, or of samples N to N of it, in the units the run shows.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "ToolRead.h"
#include "core/record/DataFile.h"
#include "core/record/RunStats.h"
#include "core/record/TextTable.h"
#include "core/record/StatsText.h"

namespace {

// A sample number: decimal digits only (a sign or blank is refused), within int.
std::optional<int> sampleNumber(const std::string& s) {
    int v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || s[0] == '-' || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace

int cmdStats(const QStringList& args) {
    CommandLine cli("kv2047-tool stats", "FILE [--from N] [--to N] [--format json|txt]",
                    "Statistics of a data file's run, or of samples N to N of it: per quantity the\n"
                    "valid samples, the minimum and maximum with the time each first occurred, the\n"
                    "mean and the standard deviation (n - 1), in the units the run shows. K/IR\n"
                    "samples the text table shows as ---- and values that are not numbers count as\n"
                    "missing.");
    const QCommandLineOption fromOpt = cli.add({"from"}, "First sample, from 1 (default 1).", "N");
    const QCommandLineOption toOpt = cli.add({"to"}, "Last sample (default the run's last).", "N");
    const QCommandLineOption formatOpt = cli.add({"format"}, "json (default) or txt, an aligned table.", "FORMAT");
    cli.addArgument("FILE", "A data file (.AsmDat).", "FILE");
    if (const int status = cli.parse(args, 1, 1); status >= 0) return status;
    const std::string format = cli.isSet(formatOpt) ? cli.value(formatOpt) : "json";
    if (format != "json" && format != "txt") return cli.refuse("unknown format '" + format + "' (use json or txt)");
    std::optional<int> from, to;
    for (const auto& [opt, slot, name] : {std::tuple{&fromOpt, &from, "--from"}, std::tuple{&toOpt, &to, "--to"}}) {
        if (!cli.isSet(*opt)) continue;
        *slot = sampleNumber(cli.value(*opt));
        if (!*slot) return cli.refuse(std::string(name) + " needs a sample number, not '" + cli.value(*opt) + "'");
    }

    const std::string file = cli.argument(0);
    auto rec = kv::makeRunRecord();
    if (const int status = readForTool(file.c_str(), *rec)) return status;
    const kv::LoggedRun& run = rec->run;
    const int first = from.value_or(1), last = to.value_or(run.count);
    if ((from || to) && (first < 1 || last > run.count || first > last)) {
        const std::string has = run.count ? "samples 1 to " + std::to_string(run.count) : std::string("no samples");
        toolMessage("%s: samples %d to %d are not a span of the run, which has %s", file.c_str(), first, last,
                    has.c_str());
        return 2;
    }

    const kv::RunStats stats = kv::computeRunStats(kv::loggedSamples(run), first - 1, last - 1, run.unitFlag);
    const kv::SampleClock clock{kv::sampleTime(run, 0), run.interval};
    const std::string out = format == "json" ? kv::statsJson(stats, clock, run.unitText) + "\n"
                                             : kv::statsText(stats, clock, run.unitText);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return cli.flushOutput();
}
