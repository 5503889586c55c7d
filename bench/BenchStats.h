#pragma once
// The figures every benchmark prints: median, mean, least and most of its samples.
#include <algorithm>
#include <cstdio>
#include <vector>

struct Stats {
    double median, mean, min, max;
};

inline Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v)
        sum += x;
    return {v[v.size() / 2], sum / v.size(), v.front(), v.back()};
}

inline void print(const char* what, const Stats& s, const char* unit)
{
    std::printf("%-58s median %9.3f  mean %9.3f  min %9.3f  max %9.3f %s\n", what, s.median, s.mean, s.min, s.max, unit);
}
