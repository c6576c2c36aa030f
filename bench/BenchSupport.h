// SPDX-License-Identifier: GPL-3.0-or-later
// What every benchmark program shares: its command line (one root and a few named
// options), the median of repeated runs and the lines that print them, so each program
// reads its options and reports its figures the same way.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vesko::bench {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point since);
double millisecondsSince(Clock::time_point since);
// Processor time of the calling thread, which waiting for a busy machine leaves out.
double threadMilliseconds();
// The same for every thread of the process, for work split across threads.
double processMilliseconds();

// "PROGRAM ROOT [--name N | --name TEXT | --name]...": the options a program declares,
// each bound to the variable that holds its default.
class Options {
public:
    explicit Options(std::string usage) : usage_(std::move(usage)) {}
    Options& count(std::string name, int& value); // a whole number of at least 1
    Options& text(std::string name, std::string& value);
    Options& flag(std::string name, bool& value);

    // The root; on anything else, the usage line on standard error and nothing.
    std::optional<std::string> parse(int argc, char** argv) const;

private:
    enum class Kind { count, text, flag };
    struct Declared {
        std::string name;
        Kind kind;
        void* value;
    };
    bool set(const Declared& option, const char* text) const;

    std::string usage_;
    std::vector<Declared> declared_;
};

// Repeated measurements of one thing, in one unit.
class Timings {
public:
    void add(double value) { values_.push_back(value); }
    bool empty() const { return values_.empty(); }
    std::size_t size() const { return values_.size(); }
    double median() const; // the mean of the middle two for an even count
    double best() const;
    double worst() const;
    // "median 12.34 ms, best 11.00, worst 15.00 of 5 runs"
    std::string summary(const char* unit, int decimals) const;

private:
    std::vector<double> values_;
};

// One line with the load average, so figures from a busy machine read as such.
void printLoad();

// Resident size (VmRSS) and its peak so far (VmHWM) in KiB; -1 when /proc is unreadable.
long long residentKib();
long long peakResidentKib();
// Page faults of the whole process so far that needed no disk read: on a virtual machine
// each fresh page can cost more than the work that touches it.
long long minorFaults();

} // namespace vesko::bench
