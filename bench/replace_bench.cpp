// Micro-benchmarks of replace_all into an Output on /dev/null, each reporting
// the subject's bytes per second; replace_bytewise is the plain
// byte-at-a-time search, the yardstick for the adversarial case. With
// --table, the medians are printed as the Markdown table of bench/README.md.
#include "replace.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace
{

// The largest operand Linux passes: 128 KiB less the terminator.
constexpr std::size_t max_operand = 131071;

struct Work {
    std::string subject, search, with;
};

std::string repeated(std::string_view text)
{
    std::string subject;
    while (subject.size() + text.size() <= max_operand)
        subject += text;
    return subject;
}

Work few_matches()
{
    return {repeated("the quick brown fox jumps over the lazy dog; the needle is here. "), "needle",
            "pin"};
}
Work every_byte()
{
    return {std::string(max_operand, 'a'), "a", "bb"};
}
Work every_few_bytes()
{
    return {repeated("the cat sat on the mat\n"), " ", "_"};
}
Work no_match()
{
    return {std::string(max_operand, 'a'), "b", "c"};
}
Work adversarial()
{
    return {std::string(max_operand, 'a'), std::string(65535, 'a') + 'b', "X"};
}

// Copies what it cannot match run by run, comparing one byte at a time.
void replace_bytewise(std::string_view subject, std::string_view search, std::string_view with,
                      Output<char> &out)
{
    std::size_t run = 0;
    std::size_t pos = 0;
    while (pos < subject.size()) {
        std::size_t n = 0;
        while (n < search.size() && pos + n < subject.size() && subject[pos + n] == search[n])
            ++n;
        if (search.empty() || n < search.size()) {
            ++pos;
            continue;
        }
        put(out, subject.data() + run, pos - run);
        put(out, with);
        pos += n;
        run = pos;
    }
    put(out, subject.data() + run, subject.size() - run);
}

template <Work (*make)(),
          void (*replace)(std::string_view, std::string_view, std::string_view, Output<char> &)>
void run(benchmark::State &state)
{
    const Work w = make();
    const int sink = open("/dev/null", O_WRONLY);
    std::string buffer(1 << 16, '\0');
    Output<char> out = open_output(sink, buffer.data(), buffer.size());
    for (auto _ : state) {
        replace(w.subject, w.search, w.with, out);
        benchmark::DoNotOptimize(flush(out));
    }
    (void)close(sink);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w.subject.size()));
}

struct Case {
    const char *name;
    const char *what; // the row's first cell in the table
    benchmark::internal::Function *run;
    benchmark::TimeUnit unit = benchmark::kNanosecond;
};
const Case cases[] = {
    {"replace_all/few_matches", "few matches: `needle` in English text",
     run<few_matches, replace_all>},
    {"replace_all/every_byte", "a match at every byte: `a` → `bb`", run<every_byte, replace_all>},
    {"replace_all/every_few_bytes", "a match every few bytes: `the cat sat …`, space → `_`",
     run<every_few_bytes, replace_all>},
    {"replace_all/no_match", "no match: the first byte never occurs", run<no_match, replace_all>},
    {"replace_all/adversarial", "adversarial: 131071 `a`, search 65535 `a` then `b`",
     run<adversarial, replace_all>, benchmark::kMillisecond},
    {"bytewise/adversarial", "adversarial, a byte-at-a-time loop for scale",
     run<adversarial, replace_bytewise>, benchmark::kMillisecond},
};

// Three significant digits and a unit: `units` are the unit names, each
// `step` times the one before.
std::string scaled(double value, double step, const std::vector<const char *> &units)
{
    std::size_t i = 0;
    while (i + 1 < units.size() && value >= step) {
        value /= step;
        ++i;
    }
    const int decimals = value < 10 ? 2 : value < 100 ? 1 : 0;
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.*f %s", decimals, value, units[i]);
    return text;
}

// Each case's median (its only run without repetitions) as a row of a
// Markdown table: subject bytes a second, and the time of one run, both of
// CPU time as the library counts it.
class TableReporter : public benchmark::BenchmarkReporter
{
  public:
    bool ReportContext(const Context & /*context*/) override
    {
        GetOutputStream() << "| case | subject bytes a second | CPU time a run |\n|---|---|---|\n";
        return true;
    }
    void ReportRuns(const std::vector<Run> &report) override
    {
        for (const Run &r : report) {
            const bool single = report.size() == 1 && r.run_type == Run::RT_Iteration;
            if (r.error_occurred || !(single || r.aggregate_name == "median"))
                continue;
            const std::string &name = r.run_name.function_name;
            const char *what = name.c_str();
            for (const Case &c : cases)
                if (name == c.name)
                    what = c.what;
            const double seconds = r.cpu_accumulated_time / static_cast<double>(r.iterations);
            GetOutputStream() << "| " << what << " | "
                              << scaled(r.counters.at("bytes_per_second"), 1024,
                                        {"B/s", "KiB/s", "MiB/s", "GiB/s"})
                              << " | " << scaled(seconds * 1e9, 1000, {"ns", "µs", "ms", "s"})
                              << " |\n";
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    bool table = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--table") == 0)
            table = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    for (const Case &c : cases)
        benchmark::RegisterBenchmark(c.name, c.run)->Unit(c.unit);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (table) {
        TableReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}
