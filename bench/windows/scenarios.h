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

// registerFont inside Photoshop.exe with two windows of its own, against the
// bare addition, the executable's name and the sends (also after the frame's
// copy and decoding), and against the addition, the process snapshot walk and
// the sends: run in a copy of this program named as the host (--in-host),
// which prints the rows it measured.
std::vector<Row> inHostRegistrationRows(const BenchFonts& fonts, bool smoke);
void printInHostRows(const test::ScriptLibrary& library, const BenchFonts& fonts, bool smoke);

// The frame alone: malformed calls, and a long path copied and decoded.
std::vector<Row> frameRows(const test::ScriptLibrary& library, bool smoke);

}  // namespace scriptfonts::bench
