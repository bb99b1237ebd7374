// Times TICMP::SendEcho to 127.0.0.1, call by call, and prints figures for bench/ping/run to set
// beside iputils ping. With --timeout MS it instead times echoes that get no answer (run it
// where echoes are ignored) and the CPU those waits used, which shows that the wait sleeps.
//   ping_bench [count]            echoes to 127.0.0.1
//   ping_bench --timeout MS [n]   n echoes that must time out after MS

#include "common/net/Icmp.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace std::chrono;

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int echoes(net::TICMP& icmp, int count)
{
    for (int i = 0; i < 50; ++i) // warm-up
        icmp.SendEcho();
    std::vector<double> micros;
    double rttFieldSum = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = steady_clock::now();
        if (icmp.SendEcho() != 1) {
            std::fprintf(stderr, "echo %d failed: %s\n", i, icmp.ErrorText().c_str());
            return 1;
        }
        micros.push_back(duration<double, std::micro>(steady_clock::now() - start).count());
        rttFieldSum += icmp.LastReply().roundTripTime;
    }
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (const double m : micros)
        sum += m;
    // One line of key=value pairs for the script.
    std::printf("socket=%s count=%d mean_us=%.1f median_us=%.1f min_us=%.1f p99_us=%.1f rtt_field_mean_ms=%.3f\n",
        icmp.usesRawSocket() ? "raw" : "datagram",
        count,
        sum / count,
        micros[micros.size() / 2],
        micros.front(),
        micros[micros.size() * 99 / 100],
        rttFieldSum / count);
    return 0;
}

int timeouts(net::TICMP& icmp, int timeoutMs, int count)
{
    icmp.setTimeout(uint32_t(timeoutMs));
    const double cpuBefore = cpuSeconds();
    double waitedMs = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = steady_clock::now();
        if (icmp.SendEcho() != 0 || icmp.LastError() != 11010) {
            std::fprintf(stderr, "echo %d did not time out: %s\n", i, icmp.ErrorText().c_str());
            return 1;
        }
        waitedMs += duration<double, std::milli>(steady_clock::now() - start).count();
    }
    std::printf("timeout_ms=%d count=%d mean_wait_ms=%.1f cpu_ms_per_wait=%.3f\n",
        timeoutMs,
        count,
        waitedMs / count,
        (cpuSeconds() - cpuBefore) * 1000 / count);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        net::TICMP icmp;
        icmp.setAddress("127.0.0.1");
        if (argc >= 3 && std::strcmp(argv[1], "--timeout") == 0)
            return timeouts(icmp, std::atoi(argv[2]), argc >= 4 ? std::atoi(argv[3]) : 5);
        return echoes(icmp, argc >= 2 ? std::max(1, std::atoi(argv[1])) : 2000);
    } catch (const net::TICMPException& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
