// Wall and CPU timing of benchmark steps and their medians over several rounds.
#ifndef ZENTRO_BENCH_TIMING_H
#define ZENTRO_BENCH_TIMING_H

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace zentro::bench {

// Wall and thread CPU time of one timed step: on a shared machine the CPU time shows
// how much of the wall time other processes took.
struct Duration {
    double wallMs = 0;
    double cpuMs = 0;
    Duration operator+(const Duration &other) const
    {
        return {wallMs + other.wallMs, cpuMs + other.cpuMs};
    }
};

inline double nowMs(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
}

template <class Step>
Duration timed(Step &&step)
{
    const double wall = nowMs(CLOCK_MONOTONIC);
    const double cpu = nowMs(CLOCK_THREAD_CPUTIME_ID);
    step();
    return {nowMs(CLOCK_MONOTONIC) - wall, nowMs(CLOCK_THREAD_CPUTIME_ID) - cpu};
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The figures of one kind of step over all rounds.
class Figure
{
public:
    void add(const Duration &duration)
    {
        wall_.push_back(duration.wallMs);
        cpu_.push_back(duration.cpuMs);
    }
    double medianWallMs() const { return median(wall_); }
    double medianCpuMs() const { return median(cpu_); }
    double bestWallMs() const
    {
        return wall_.empty() ? 0 : *std::min_element(wall_.begin(), wall_.end());
    }
    void print(const char *what, double target = 0) const
    {
        const double best = bestWallMs();
        printf("%-38s wall median %7.2f min %7.2f   cpu median %7.2f ms", what, medianWallMs(),
               best, medianCpuMs());
        if (target > 0)
            printf("   (target < %.0f ms)", target);
        printf("\n");
    }

private:
    std::vector<double> wall_;
    std::vector<double> cpu_;
};

} // namespace zentro::bench

#endif // ZENTRO_BENCH_TIMING_H
