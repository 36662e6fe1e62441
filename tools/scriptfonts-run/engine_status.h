// A status as the host's scripting engine names it: scriptfonts-run's output
// is what a panel author reads, so it says what the host will report.
#pragma once

#include <cstdint>
#include <string>

namespace scriptfonts::run {

// "status 20 (bad argument list)", "status -28 (out of memory)"; a code this
// program does not know is given as such, never guessed at.
std::string describedStatus(std::int32_t status);

}  // namespace scriptfonts::run
