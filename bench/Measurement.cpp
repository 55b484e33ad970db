#include "Measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
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

void PrintFigures(const std::vector<Figure>& figures)
{
    std::printf("\n%-30s %-26s %-26s %-34s %s\n", "figure", "measured", "baseline", "goal", "met");
    std::printf("%s\n", std::string(122, '-').c_str());
    for (const Figure& figure : figures) {
        std::printf("%-30s %-26s %-26s %-34s %s\n", figure.name.c_str(), figure.measured.c_str(),
                    figure.baseline.empty() ? "-" : figure.baseline.c_str(), figure.goal.c_str(),
                    figure.met ? "yes" : "NO");
    }
    std::fflush(stdout);
}

bool WriteFiguresJson(const std::vector<Figure>& figures, const std::string& path)
{
    std::ofstream file(path);
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
