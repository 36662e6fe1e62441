// Interleaved A/B timing: both arms run in every round, in alternating order,
// so that drift in the machine's speed (other processes, caches, Wine's
// server) falls on both alike. What counts is the median over rounds.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace scriptfonts::bench {

// Seconds elapsed, by the performance counter.
class Stopwatch {
public:
    Stopwatch();
    double seconds() const;

private:
    LARGE_INTEGER start_{};
};

double median(std::vector<double> values);
double percentile(std::vector<double> values, double fraction);  // nearest rank, fraction in [0, 1]

// One arm's work for one round, returning the seconds it spent in the part
// that is timed (set-up and clean-up of a round are left out by the arm).
using Arm = std::function<double()>;

struct Comparison {
    std::string name;
    double unitsPerRound = 1;      // per-unit figures divide by this (calls, fonts)
    std::vector<double> aSeconds;  // one per round
    std::vector<double> bSeconds;
    std::vector<double> ratios;  // a / b, per round

    double aPerUnit() const { return median(aSeconds) / unitsPerRound; }
    double bPerUnit() const { return median(bSeconds) / unitsPerRound; }
    double ratio() const { return median(ratios); }
};

// Runs warmUpRounds rounds untimed, then `rounds` rounds; A goes first in
// even rounds and B in odd ones. An empty B times A alone.
Comparison compare(std::string name, double unitsPerRound, int rounds, int warmUpRounds, const Arm& a, const Arm& b);

}  // namespace scriptfonts::bench
