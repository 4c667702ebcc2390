// bench_stats.h -- frame-time statistics per scene against a baseline measured
// in the same run (the time to copy one 320x240 surface).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Median (mean of the two middle values for an even count), 0 for none.
double median_of(std::vector<double> values);
// Nearest-rank percentile: the smallest value with at least p % of the values at
// or below it; 0 for none.
double percentile_of(std::vector<double> values, double p);

struct SceneTimes {
    std::string name;
    long calls = 0;
    std::vector<double> frame_ms;  // drawing time of each frame after the first
    double setup_ms = 0.0;         // the longest call-to-first-presentation
};

struct BenchRow {
    std::string name;
    long calls = 0, frames = 0;
    double median_ms = 0, p99_ms = 0, worst_ms = 0, setup_ms = 0;
};

struct BenchReport {
    double baseline_ms = 0.0;  // median copy of one 320x240 surface
    long baseline_samples = 0;
    std::vector<BenchRow> rows;
};

// Finds the scene's entry by name, adding it in first-seen order.
SceneTimes& scene_times(std::vector<SceneTimes>& scenes, const std::string& name);
BenchReport make_bench_report(const std::vector<SceneTimes>& scenes, const std::vector<double>& baseline_ms);
// Figure / baseline, 0 when the baseline is 0.
double ratio_to_baseline(double ms, const BenchReport& report);
void print_bench_table(const BenchReport& report, std::FILE* out);
std::string bench_json(const BenchReport& report);
