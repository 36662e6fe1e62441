#include "harness.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <utility>

namespace scriptfonts::bench {
namespace {

// Nearest rank, fraction in [0, 1]. Every plan has an odd number of rounds, so 0.5 is the median.
double percentile(std::vector<double> values, double fraction) {
    const auto rank = static_cast<std::size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
    return values[rank];
}

std::string formatted(const char* format, double value, const char* suffix = "") {
    char text[64];
    std::snprintf(text, sizeof text, format, value, suffix);
    return text;
}

// In the first unit the value reaches (else the last), with three significant digits or more: "12.3 us", "442 M".
std::string scaled(double value, const std::pair<double, const char*> (&units)[4]) {
    std::size_t unit = 0;
    while (unit < 3 && value < units[unit].first) ++unit;
    value /= units[unit].first;
    return formatted(value >= 100 ? "%.0f%s" : value >= 10 ? "%.1f%s" : "%.2f%s", value, units[unit].second);
}

std::string duration(double seconds) {
    return scaled(seconds, {{1, " s"}, {1e-3, " ms"}, {1e-6, " us"}, {1e-9, " ns"}});
}
std::string rate(double perSecond) { return scaled(perSecond, {{1e9, " G"}, {1e6, " M"}, {1e3, " k"}, {1, " "}}); }

}  // namespace

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string compare(const Measure& measure, const Plan& plan, const Arm& a, const Arm& b) {
    for (int round = 0; round < plan.warmUpRounds; ++round) {
        a();
        if (b) b();
    }
    std::vector<double> aSeconds, bSeconds, ratios;
    for (int round = 0; round < plan.rounds; ++round) {
        const bool bFirst = b && round % 2 == 1;
        if (bFirst) bSeconds.push_back(b());
        aSeconds.push_back(a());
        if (b && !bFirst) bSeconds.push_back(b());
        if (b) ratios.push_back(bSeconds.back() > 0 ? aSeconds.back() / bSeconds.back() : 0);
    }

    const int units = plan.iterations * measure.unitsPerCall;
    const auto timeCell = [&](const std::vector<double>& seconds) {
        const double perUnit = percentile(seconds, 0.5) / units;
        std::string cell = duration(perUnit) + " / " + measure.unit;
        if (measure.ratePerUnit > 0) cell += " (" + rate(measure.ratePerUnit / perUnit) + measure.rateUnit + ")";
        return cell;
    };
    const auto ratio = [&](double fraction) { return formatted("%.3f", percentile(ratios, fraction)); };
    const std::string bCells =
        b ? timeCell(bSeconds) + " | " + ratio(0.5) + " | " + ratio(0.25) + " - " + ratio(0.75) : "- | - | -";
    return "| " + measure.name + " | " + timeCell(aSeconds) + " | " + bCells + " | " + std::to_string(aSeconds.size()) +
           " x " + std::to_string(units) + " |";
}

void checkTold(const std::string& window, long sent, long registrations) {
    const std::string told = window + " was sent " + std::to_string(sent) + " WM_FONTCHANGE for " +
                             std::to_string(registrations) + " registrations";
    if (sent < registrations) throw BenchError(told);
    if (sent > registrations) std::cerr << "note: " << told << "\n";
}

void printTable(std::ostream& out, const std::vector<std::string>& rows, bool header) {
    if (header) {
        out << "| Measure | scriptfonts.dll (A) | bare Win32 calls (B) | A/B, median of rounds | A/B, 25th-75th pct. |"
               " rounds x units |\n"
               "| --- | ---: | ---: | ---: | ---: | ---: |\n";
    }
    for (const std::string& row : rows) out << row << "\n";
    out.flush();
}

}  // namespace scriptfonts::bench
