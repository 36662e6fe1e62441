#include "report.h"

#include <cstdio>

namespace scriptfonts::bench {
namespace {

std::string withPrecision(double value, const char* suffix) {
    char text[64];
    std::snprintf(text, sizeof text, value >= 100 ? "%.0f%s" : value >= 10 ? "%.1f%s" : "%.2f%s", value, suffix);
    return text;
}

std::string cell(const std::string& text) { return text.empty() ? "-" : text; }

}  // namespace

std::string formatDuration(double seconds) {
    if (seconds >= 1) return withPrecision(seconds, " s");
    if (seconds >= 1e-3) return withPrecision(seconds * 1e3, " ms");
    if (seconds >= 1e-6) return withPrecision(seconds * 1e6, " us");
    return withPrecision(seconds * 1e9, " ns");
}

std::string formatRate(double perSecond) {
    if (perSecond >= 1e9) return withPrecision(perSecond / 1e9, " G");
    if (perSecond >= 1e6) return withPrecision(perSecond / 1e6, " M");
    if (perSecond >= 1e3) return withPrecision(perSecond / 1e3, " k");
    return withPrecision(perSecond, " ");
}

Row comparisonRow(const Comparison& comparison, const std::string& unit) {
    Row row;
    row.measure = comparison.name;
    row.library = formatDuration(comparison.aPerUnit()) + " / " + unit;
    if (!comparison.bSeconds.empty()) {
        row.bare = formatDuration(comparison.bPerUnit()) + " / " + unit;
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", comparison.ratio());
        row.ratio = text;
        std::snprintf(text, sizeof text, "%.3f - %.3f", percentile(comparison.ratios, 0.25),
                      percentile(comparison.ratios, 0.75));
        row.spread = text;
    }
    char samples[64];
    std::snprintf(samples, sizeof samples, "%zu x %.0f", comparison.aSeconds.size(), comparison.unitsPerRound);
    row.samples = samples;
    return row;
}

void printTable(std::ostream& out, const std::vector<Row>& rows) {
    out << "| Measure | scriptfonts.dll (A) | bare Win32 calls (B) | A/B, median of rounds | A/B, 25th-75th pct. |"
           " rounds x units |\n";
    out << "| --- | ---: | ---: | ---: | ---: | ---: |\n";
    for (const Row& row : rows) {
        out << "| " << row.measure << " | " << cell(row.library) << " | " << cell(row.bare) << " | " << cell(row.ratio)
            << " | " << cell(row.spread) << " | " << row.samples << " |\n";
    }
    out.flush();
}

}  // namespace scriptfonts::bench
