// Times test passes of the monitor's engine with its real probes, for bench/probes/run to set
// beside plain connect loops, fping and check_http. Prints one line of key=value pairs.
//   probes_bench connect-loop COUNT             COUNT plain non-blocking connects, each reset
//   probes_bench pass SERVICE PARALLEL TIMEOUT_MS [--port PORT] ADDRESS...
//                                               one pass over the addresses (TCP, PING, HTTP, ...)
// Rows get the port column PORT (HTTP: empty, so the URL is the bare address); without --port,
// TCP connects go to a port that the driver itself listens on, on every local address.

#include "monitor/core/MonitorController.h"

#include "common/core/EventLoop.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono;

namespace {

// A front end that shows nothing: the figures are the engine's and the probes' own.
struct Headless final : core::ActivityOutlet, core::Asker, core::RunIndicator, monitor::SettingsView, monitor::TestView
{
    void appendActivityLine(const std::string&) override { }
    void setActivityText(const std::string&) override { }
    void showMessage(const std::string&) override { }
    bool askOkCancel(const std::string&, const std::string&) override { return true; }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    void setBusy(bool) override { }
    void setTrayState(core::TrayState, const std::string&) override { }
    void showDataFile(const std::string&) override { }
    void showSettings() override { }
    void showTimerHint(const std::string&) override { }
    void showTesting(bool) override { }
    bool isForeground() const override { return true; }
};

// A listener on every local address of both families (IPv4 alone where IPv6 is off).
int listener(uint16_t& port)
{
    const int on = 1;
    const int off = 0;
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address {};
    socklen_t length = 0;
    if (fd >= 0) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        auto* sin6 = reinterpret_cast<sockaddr_in6*>(&address);
        sin6->sin6_family = AF_INET6;
        sin6->sin6_addr = in6addr_any;
        length = sizeof *sin6;
    } else {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        auto* sin = reinterpret_cast<sockaddr_in*>(&address);
        sin->sin_family = AF_INET;
        sin->sin_addr.s_addr = htonl(INADDR_ANY);
        length = sizeof *sin;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4096) != 0)
        std::exit(2);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = address.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                                         : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

// Accepts and closes for ever, so that the backlog never fills.
void acceptLoop(int fd)
{
    for (;;) {
        const int client = ::accept(fd, nullptr, nullptr);
        if (client >= 0)
            ::close(client);
    }
}

int connectLoop(int count, uint16_t port)
{
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    const auto start = steady_clock::now();
    int ok = 0;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd watched { fd, POLLOUT, 0 };
        ::poll(&watched, 1, 2000);
        int error = 1;
        socklen_t length = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        ok += error == 0;
        const linger reset { 1, 0 };
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
    }
    const double ms = duration<double, std::milli>(steady_clock::now() - start).count();
    std::printf("count=%d ok=%d total_ms=%.1f per_connect_us=%.1f\n", count, ok, ms, ms * 1000 / count);
    return ok == count ? 0 : 1;
}

int pass(const std::string& service, int parallel, int timeoutMs, const std::string& port, char** addresses, int count)
{
    Headless front;
    monitor::MonitorController controller("/nonexistent/probes-bench/SEN", monitor::FrontEnd::of(front));
    monitor::MonitorSettings& settings = controller.settings();
    settings.StartingUp = false;
    settings.MaxParallelTests = parallel;
    settings.of(monitor::Service::Tcp).timeOut = std::chrono::milliseconds(timeoutMs);
    settings.of(monitor::Service::Ping).timeOut = std::chrono::milliseconds(timeoutMs);
    for (int i = 0; i < count; ++i) {
        controller.list().append(monitor::Destination::added(
            "host" + std::to_string(i), addresses[i], service, service == "PING" ? "" : port));
    }
    const auto start = steady_clock::now();
    controller.engine().TestAllDestinations();
    core::waitFor([&] { return !controller.engine().passing(); }, minutes(10));
    const double ms = duration<double, std::milli>(steady_clock::now() - start).count();
    int ok = 0;
    for (const monitor::Destination& row : controller.list().rows())
        ok += row.Status() == "OK";
    std::printf("service=%s parallel=%d count=%d ok=%d fail=%d total_ms=%.1f per_test_us=%.1f\n",
        service.c_str(),
        parallel,
        count,
        ok,
        count - ok,
        ms,
        ms * 1000 / count);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    uint16_t port = 0;
    // Every run has a listener of its own in a thread, so that a TCP pass finds open ports.
    const int fd = listener(port);
    std::thread(acceptLoop, fd).detach();
    if (mode == "connect-loop" && argc == 3)
        return connectLoop(std::atoi(argv[2]), port);
    if (mode == "pass" && argc >= 7 && std::string(argv[5]) == "--port")
        return pass(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[6], argv + 7, argc - 7);
    if (mode == "pass" && argc >= 5)
        return pass(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::to_string(port), argv + 5, argc - 5);
    std::fprintf(stderr, "usage: see the head of ProbesBench.cpp\n");
    return 2;
}
