#include "bench/Measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::int64_t Frequency()
{
    static const std::int64_t frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    return frequency;
}

}  // namespace

double TicksToMs(std::int64_t ticks)
{
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(Frequency());
}

std::int64_t Now()
{
    LARGE_INTEGER value;
    ::QueryPerformanceCounter(&value);
    return value.QuadPart;
}

double Percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

std::string Format(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string Milliseconds(double p50, double p99)
{
    return Format("p50 %.3f, p99 %.3f ms", p50, p99);
}

Figure LatencyFigure(const char* name, const std::vector<double>& measured, const std::vector<double>& baseline,
                     const char* goal, bool (*met)(double, double))
{
    double p50 = Percentile(measured, 0.5), p99 = Percentile(measured, 0.99);
    double base50 = Percentile(baseline, 0.5), base99 = Percentile(baseline, 0.99);
    return {name,
            Milliseconds(p50, p99),
            Milliseconds(base50, base99),
            goal,
            !measured.empty() && met(p99, base99),
            Format("\"samples\": %zu, \"p50_ms\": %.4f, \"p99_ms\": %.4f, \"baseline_p50_ms\": %.4f, "
                   "\"baseline_p99_ms\": %.4f",
                   measured.size(), p50, p99, base50, base99)};
}

// Each column as wide as its widest entry, so that long figures stay
// readable without cutting any.
void PrintFigures(const std::vector<Figure>& figures)
{
    std::vector<std::vector<std::string>> rows = {{"figure", "measured", "baseline", "goal", "met"}};
    for (const Figure& figure : figures)
        rows.push_back({figure.name, figure.measured, figure.baseline.empty() ? "-" : figure.baseline, figure.goal,
                        figure.met ? "yes" : "NO"});
    std::size_t widths[5] = {};
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < 5; ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    auto print = [&](const std::vector<std::string>& row) {
        for (std::size_t column = 0; column < 4; ++column)
            std::printf("%-*s  ", static_cast<int>(widths[column]), row[column].c_str());
        std::printf("%s\n", row[4].c_str());
    };
    std::printf("\n");
    print(rows.front());
    std::printf("%s\n", std::string(widths[0] + widths[1] + widths[2] + widths[3] + 8 + widths[4], '-').c_str());
    for (std::size_t i = 1; i < rows.size(); ++i)
        print(rows[i]);
    std::fflush(stdout);
}

bool WriteFiguresJson(const std::vector<Figure>& figures, const std::wstring& path)
{
    std::ofstream file(std::filesystem::path{path});
    file << "{\n";
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const Figure& figure = figures[i];
        file << "  \"" << figure.name << "\": {" << figure.json << ", \"goal\": \"" << figure.goal
             << "\", \"met\": " << (figure.met ? "true" : "false") << "}" << (i + 1 < figures.size() ? "," : "")
             << "\n";
    }
    file << "}\n";
    return static_cast<bool>(file);
}
