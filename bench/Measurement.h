#pragma once
// Small measuring tools for the benchmark: a fine clock, percentiles, and
// the table and JSON file in which the figures come out.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Milliseconds between two QueryPerformanceCounter readings.
double TicksToMs(std::int64_t ticks);
std::int64_t Now();

// The value below which the given fraction of samples lie (nearest rank).
double Percentile(std::vector<double> samples, double fraction);

struct Figure {
    std::string name;      // also the JSON key
    std::string measured;  // as printed
    std::string baseline;  // as printed; empty when the goal is absolute
    std::string goal;
    bool met;
    std::string json;  // the figure's numbers as a JSON object body
};

// "p50 x, p99 y ms", as latencies are printed.
std::string Milliseconds(double p50, double p99);

// Latencies beside those of their baseline, as p50 and p99; met(p99,
// baseline p99) tells whether the goal is reached.
Figure LatencyFigure(const char* name, const std::vector<double>& measured, const std::vector<double>& baseline,
                     const char* goal, bool (*met)(double, double));

void PrintFigures(const std::vector<Figure>& figures);
bool WriteFiguresJson(const std::vector<Figure>& figures, const std::wstring& path);

std::string Format(const char* format, ...);
