#include "ab_timing.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace scriptfonts::bench {
namespace {

double counterFrequency() {
    static const double frequency = [] {
        LARGE_INTEGER ticks;
        QueryPerformanceFrequency(&ticks);
        return static_cast<double>(ticks.QuadPart);
    }();
    return frequency;
}

}  // namespace

Stopwatch::Stopwatch() { QueryPerformanceCounter(&start_); }

double Stopwatch::seconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) / counterFrequency();
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    const auto rank = static_cast<std::size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
    return values[rank];
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Comparison compare(std::string name, double unitsPerRound, int rounds, int warmUpRounds, const Arm& a, const Arm& b) {
    for (int round = 0; round < warmUpRounds; ++round) {
        a();
        if (b) b();
    }
    Comparison result;
    result.name = std::move(name);
    result.unitsPerRound = unitsPerRound;
    for (int round = 0; round < rounds; ++round) {
        double aSeconds = 0;
        double bSeconds = 0;
        if (!b) {
            result.aSeconds.push_back(a());
            continue;
        }
        if (round % 2 == 0) {
            aSeconds = a();
            bSeconds = b();
        } else {
            bSeconds = b();
            aSeconds = a();
        }
        result.aSeconds.push_back(aSeconds);
        result.bSeconds.push_back(bSeconds);
        result.ratios.push_back(bSeconds > 0 ? aSeconds / bSeconds : 0);
    }
    return result;
}

}  // namespace scriptfonts::bench
