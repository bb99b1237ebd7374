// Benchmark driver for the SMTP client, built and run by bench/smtp/run.
//   smtp_bench send <port> <file>     one mail with <file> attached; prints wall and CPU seconds
//   smtp_bench send-starttls <port> <file>  the same over STARTTLS with a log-in (user:secret)
//   smtp_bench idle <port> <seconds>  SyncOpen on a silent server; prints wall and CPU seconds

#include "common/net/SyncSmtpCli.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void configure(net::TSyncSmtpCli& client, const char* port, int timeout)
{
    client.Host = "127.0.0.1";
    client.Port = port;
    client.Timeout = timeout;
    client.FromName = "bench@example.org";
    client.RcptName = { "sink@example.org" };
    client.HdrFrom = "bench@example.org";
    client.HdrTo = "sink@example.org";
    client.HdrSubject = "bench";
    client.MailMessage = { "Attached: the bench file." };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const std::string mode = argv[1];
    net::TSyncSmtpCli client;
    if (mode == "send" || mode == "send-starttls") {
        configure(client, argv[2], 30);
        if (mode == "send-starttls") {
            client.Security = net::TlsMode::StartTls;
            client.Username = "user";
            client.Password = "secret";
            client.AuthType = net::TSmtpAuthType::smtpAuthAutoSelect;
        }
        client.EmailFiles = { argv[3] };
        const double wall0 = wallSeconds();
        const double cpu0 = cpuSeconds();
        const bool ok = client.SyncOpen() && client.SyncMail() && client.SyncQuit();
        std::printf("%s %.3f %.3f\n", ok ? "ok" : "failed", wallSeconds() - wall0, cpuSeconds() - cpu0);
        if (!ok)
            std::fprintf(stderr, "%s\n", client.LastResponse().c_str());
        return ok ? 0 : 1;
    }
    if (mode == "idle") {
        configure(client, argv[2], std::atoi(argv[3]));
        const double wall0 = wallSeconds();
        const double cpu0 = cpuSeconds();
        const bool ok = client.SyncOpen();
        std::printf("%s %.3f %.3f %s\n",
            ok ? "ok" : "failed",
            wallSeconds() - wall0,
            cpuSeconds() - cpu0,
            client.ErrorMessage().c_str());
        return 0;
    }
    return 2;
}
