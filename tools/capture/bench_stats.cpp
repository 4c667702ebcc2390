// bench_stats.cpp -- medians, percentiles and the bench table and JSON.
#include "bench_stats.h"

#include <algorithm>
#include <cmath>
#include <sstream>

double median_of(std::vector<double> values)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double percentile_of(std::vector<double> values, double p)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
    const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
    return values[std::min(index, values.size() - 1)];
}

SceneTimes& scene_times(std::vector<SceneTimes>& scenes, const std::string& name)
{
    for (SceneTimes& s : scenes)
        if (s.name == name) return s;
    scenes.push_back(SceneTimes{});
    scenes.back().name = name;
    return scenes.back();
}

BenchReport make_bench_report(const std::vector<SceneTimes>& scenes, const std::vector<double>& baseline_ms)
{
    BenchReport report;
    report.baseline_ms = median_of(baseline_ms);
    report.baseline_samples = static_cast<long>(baseline_ms.size());
    for (const SceneTimes& s : scenes) {
        BenchRow row;
        row.name = s.name;
        row.calls = s.calls;
        row.frames = static_cast<long>(s.frame_ms.size());
        row.median_ms = median_of(s.frame_ms);
        row.p99_ms = percentile_of(s.frame_ms, 99.0);
        row.worst_ms = s.frame_ms.empty() ? 0.0 : *std::max_element(s.frame_ms.begin(), s.frame_ms.end());
        row.setup_ms = s.setup_ms;
        report.rows.push_back(row);
    }
    return report;
}

double ratio_to_baseline(double ms, const BenchReport& report)
{
    return report.baseline_ms > 0.0 ? ms / report.baseline_ms : 0.0;
}

void print_bench_table(const BenchReport& report, std::FILE* out)
{
    std::fprintf(out, "baseline: copy of one 320x240 surface, median %.4f ms over %ld copies\n",
                 report.baseline_ms, report.baseline_samples);
    std::fprintf(out, "%-24s %5s %7s %17s %17s %17s %17s\n", "scene", "calls", "frames",
                 "median ms (x)", "p99 ms (x)", "worst ms (x)", "setup ms (x)");
    for (const BenchRow& r : report.rows) {
        const double figures[4] = {r.median_ms, r.p99_ms, r.worst_ms, r.setup_ms};
        std::fprintf(out, "%-24s %5ld %7ld", r.name.c_str(), r.calls, r.frames);
        for (double ms : figures) std::fprintf(out, " %8.3f (%6.1f)", ms, ratio_to_baseline(ms, report));
        std::fprintf(out, "\n");
    }
}

std::string bench_json(const BenchReport& report)
{
    std::ostringstream json;
    json.precision(6);
    json << std::fixed;
    json << "{\n  \"baseline_ms\": " << report.baseline_ms << ",\n  \"baseline_samples\": "
         << report.baseline_samples << ",\n  \"scenes\": [";
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const BenchRow& r = report.rows[i];
        json << (i ? ",\n" : "\n") << "    {\"name\": \"";
        for (char c : r.name) {
            if (c == '"' || c == '\\') json << '\\';
            json << c;
        }
        json << "\", \"calls\": " << r.calls << ", \"frames\": " << r.frames
             << ", \"median_ms\": " << r.median_ms << ", \"p99_ms\": " << r.p99_ms
             << ", \"worst_ms\": " << r.worst_ms << ", \"setup_ms\": " << r.setup_ms
             << ", \"median_ratio\": " << ratio_to_baseline(r.median_ms, report)
             << ", \"p99_ratio\": " << ratio_to_baseline(r.p99_ms, report)
             << ", \"worst_ratio\": " << ratio_to_baseline(r.worst_ms, report)
             << ", \"setup_ratio\": " << ratio_to_baseline(r.setup_ms, report) << "}";
    }
    json << "\n  ]\n}\n";
    return json.str();
}
