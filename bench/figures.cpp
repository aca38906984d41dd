// The arithmetic of the benchmarks, on numbers read from standard input:
//   figures stats        numbers, one a line -> "median p99 mean min max n"
//   figures clock <rate> "<monotonic ns> <clock>" lines, as clockrun prints
//                        them -> "errp99_ms jitterp99_ms stepsback n"
// The clock is fitted to the line a paced device implies: slope `rate`
// clock units per second, offset the median of (time - clock/rate) over
// the samples after the clock first moved. The error is each sample's
// distance from that line; the jitter is |dclock/rate - dt| between
// consecutive samples; a step back is a clock lower than the one before.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The value at fraction q of the sorted values (nearest rank).
double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(std::ceil(q * v.size()));
    return v[rank == 0 ? 0 : rank - 1];
}

int stats()
{
    std::vector<double> v;
    double x, sum = 0;
    while (std::scanf("%lf", &x) == 1) {
        v.push_back(x);
        sum += x;
    }
    if (v.empty()) {
        std::puts("nan nan nan nan nan 0");
        return 0;
    }
    std::printf("%.6g %.6g %.6g %.6g %.6g %zu\n", quantile(v, 0.5), quantile(v, 0.99),
                sum / v.size(), *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()), v.size());
    return 0;
}

int clockfit(double rate)
{
    std::vector<double> ms, units;
    long long ns;
    double c;
    while (std::scanf("%lld %lf", &ns, &c) == 2) {
        if (c <= 0 && units.empty())
            continue;   // the device has not started playing
        ms.push_back(ns / 1e6);
        units.push_back(c);
    }
    std::vector<double> offset, error, jitter;
    int back = 0;
    for (size_t i = 0; i < ms.size(); i++)
        offset.push_back(ms[i] - units[i] / rate * 1000);
    double fitted = quantile(offset, 0.5);
    for (size_t i = 0; i < ms.size(); i++) {
        error.push_back(std::fabs(offset[i] - fitted));
        if (i == 0)
            continue;
        jitter.push_back(std::fabs((units[i] - units[i - 1]) / rate * 1000 - (ms[i] - ms[i - 1])));
        back += units[i] < units[i - 1];
    }
    std::printf("%.4f %.4f %d %zu\n", quantile(error, 0.99), quantile(jitter, 0.99), back, ms.size());
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "stats") == 0)
        return stats();
    if (argc == 3 && std::strcmp(argv[1], "clock") == 0)
        return clockfit(std::atof(argv[2]));
    std::fprintf(stderr, "usage: figures stats | figures clock <rate>\n");
    return 2;
}
