// The machine's memory bandwidth right now: a float triad c = a + s*b over three 64 MB arrays (far beyond the
// caches), repeated for the given seconds on the given number of threads; prints the median rate in GB/s.
// The whole-run suite runs it before every simulation, so that its table shows how much the machine itself
// moved while the suite ran.
#include <omp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int threads = argc > 1 ? std::atoi(argv[1]) : 1;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;
    if (threads < 1 || seconds <= 0) {
        std::fprintf(stderr, "usage: bench_machine_triad [threads >= 1] [seconds > 0]\n");
        return 2;
    }
    constexpr long n = 1L << 24;
    std::vector<float> a(n), b(n), c(n);
    omp_set_num_threads(threads);
    // First touch by the threads that use the data, as the simulation's loops do.
#pragma omp parallel for schedule(static)
    for (long i = 0; i < n; ++i) {
        a[i] = 1.0f;
        b[i] = 2.0f;
        c[i] = 0.0f;
    }
    std::vector<double> times;
    const double start = omp_get_wtime();
    while (omp_get_wtime() - start < seconds || times.size() < 3) {
        const double t0 = omp_get_wtime();
#pragma omp parallel for schedule(static)
        for (long i = 0; i < n; ++i) c[i] = a[i] + 1.5f * b[i];
        times.push_back(omp_get_wtime() - t0);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%.2f\n", 3.0 * n * sizeof(float) / median / 1e9);
    // Reading a result keeps the loop from being optimised away.
    return c[n / 2] == 4.0f ? 0 : 1;
}
