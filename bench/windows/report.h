// The table the benchmark prints (Markdown, as docs/performance.md holds it).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ab_timing.h"

namespace scriptfonts::bench {

struct Row {
    std::string measure;
    std::string library;  // A: through scriptfonts.dll
    std::string bare;     // B: the same Win32 calls made directly
    std::string ratio;    // median of the per-round ratios A/B
    std::string spread;   // their 25th to 75th percentile
    std::string samples;  // rounds x units per round
};

// "12.3 us" and the like, for a duration in seconds.
std::string formatDuration(double seconds);
// "1.23 G" and the like, for a count per second.
std::string formatRate(double perSecond);

// A row of per-unit times; `unit` names what one unit is ("font", "call").
Row comparisonRow(const Comparison& comparison, const std::string& unit);

void printTable(std::ostream& out, const std::vector<Row>& rows);

}  // namespace scriptfonts::bench
