// The four measurements. Each returns its rows of the table; a failed check
// throws BenchError.
#pragma once

#include <vector>

#include "bench_setup.h"
#include "report.h"

namespace scriptfonts::bench {

struct Plan {
    int rounds;
    int warmUpRounds;
    int iterations;  // per arm and round
};

// A smoke run makes every call once: it shows that the benchmark works, not how fast.
inline Plan planFor(bool smoke, Plan full) { return smoke ? Plan{1, 0, 1} : full; }

// registerFonts with a list of `count` fonts, for each count, against
// AddFontResourceW for each and one broadcast.
std::vector<Row> fontListRows(const test::ScriptLibrary& library, const BenchFonts& fonts,
                              const std::vector<int>& counts, bool smoke);

// findFontByName for a face that is there and one that is not, against the
// bare enumeration.
std::vector<Row> faceLookupRows(const test::ScriptLibrary& library, const BenchFonts& fonts, bool smoke);

// registerFont with a stand-in Photoshop.exe holding two windows, against
// the bare addition, process walk and sends.
std::vector<Row> hostRegistrationRows(const test::ScriptLibrary& library, const BenchFonts& fonts, bool smoke);

// The frame alone: malformed calls, and a long path copied and decoded.
std::vector<Row> frameRows(const test::ScriptLibrary& library, bool smoke);

}  // namespace scriptfonts::bench
