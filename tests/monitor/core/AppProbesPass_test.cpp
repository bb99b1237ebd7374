// The application-layer probes in passes of the real engine: the pane's and the log's lines of
// each probe in their exact order (start, exception, Verbose, retry and result lines), one at a
// time and side by side; passes over the real servers, sequential and parallel, that write the
// same; and Abort and the close of every probe while it waits, which give no result.

#include "AppProbeSupport.h"
#include "ControllerFixture.h"
#include "ScriptedProbes.h"

#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpScript.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/ScriptedServer.h"
#include "tests/net/SmtpServerFixture.h"
#include "tests/support/PrivateNamespace.h"

#include "monitor/core/TestEngine.h"

using namespace monitor;
using namespace probetest;
using namespace std::chrono_literals;
using test::ScriptSession;

namespace {

const std::string LA = std::string(Stamp) + "  [0 ms]";

struct PassFixture : ControllerFixture
{
    RecordingAlerts alerts;

    void start()
    {
        test::writeFile(ini, "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[DestList]\r\nDestCount=0\r\n");
        run();
        controller->setAlertSender(&alerts);
        controller->engine().setClock([] { return QDateTime(QDate(2026, 6, 12), QTime(14, 5, 9)); });
        AlertActions& actions = controller->settings().actions;
        actions.failEmail = actions.failRun = actions.okEmail = actions.okRun = true;
        actions.failCommand = "fail.sh";
        actions.okCommand = "ok.sh";
        MonitorSettings& s = controller->settings();
        setTimeOuts(s, SessionServices, 1s);
    }

    void clearRecords()
    {
        controller->activity().setActivityText("");
        frontEnd.activity.clear();
        std::filesystem::remove(log);
        alerts.calls.clear();
    }

    void add(const std::string& host,
        const std::string& service,
        const std::string& port,
        const std::string& status = "na",
        const std::string& ip = "127.0.0.1")
    {
        Destination row = Destination::added(host, ip, service, port);
        row.SubItems[3] = status;
        controller->list().append(row);
    }

    TestEngine& engine() { return controller->engine(); }

    void pass(std::chrono::seconds limit = 60s)
    {
        engine().TestAllDestinations();
        ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, limit));
    }

    // The pane's lines between the pass's start and end lines.
    Lines paneOfPass() const
    {
        Lines lines = frontEnd.activity;
        const auto first = std::find(lines.begin(), lines.end(), "Start test at " + std::string(Stamp));
        const auto last = std::find(lines.begin(), lines.end(), "END test at " + std::string(Stamp));
        if (first == lines.end() || last == lines.end() || last - first < 2)
            return lines;
        return Lines(first + 2, last - 1);
    }

    Lines logLines() const
    {
        Lines lines;
        const std::string text = fs::exists(log) ? test::readFile(log) : "";
        for (size_t begin = 0; begin < text.size();) {
            const size_t end = text.find("\r\n", begin);
            lines.push_back(text.substr(begin, end - begin));
            begin = end + 2;
        }
        return lines;
    }

    Lines statuses() const
    {
        Lines result;
        for (const Destination& d : controller->list().rows())
            result.push_back(d.Status());
        return result;
    }
};

// Servers that answer one test each, as a scripted server serves one client.
struct ScriptedServers
{
    test::ScriptedHttpServer http { [](ScriptSession& peer, const std::vector<std::string>&, int) {
                                       peer.send(test::httpReply("HTTP/1.0 404 Not Found", { "Server: scripted" }));
                                       peer.close();
                                   },
        1 };
    test::ScriptedServer ftp { [](ScriptSession& peer) {
        std::string line;
        peer.send("220 ready\r\n");
        if (peer.readLine(line) && line == "QUIT")
            peer.send("221 bye\r\n");
    } };
    test::ScriptedServer smtp { [](ScriptSession& peer) {
        std::string line;
        peer.send("220 mail\r\n");
        if (peer.readLine(line) && line == "HELO SEN")
            peer.send("250 mail\r\n");
        if (peer.readLine(line) && line == "QUIT")
            peer.send("221 bye\r\n");
    } };
    int closed = test::closedLoopbackPort();
};

} // namespace

// Each probe's lines in a pass, exactly and in order, with Verbose and the retry flags set: one
// at a time, then four at once.
TEST_F(PassFixture, EveryLineOfEachProbeInOrder)
{
    start();
    MonitorSettings& s = controller->settings();
    s.Verbose = true;
    for (const Service service : AppServices)
        s.of(service).retryOnFirstFail = true;
    for (const int parallel : { 1, 4 }) {
        SCOPED_TRACE(parallel);
        s.MaxParallelTests = parallel;
        controller->list().clear();
        ScriptedServers servers;
        const std::string web = "127.0.0.1:" + std::to_string(servers.http.port());
        const std::string closed = std::to_string(servers.closed);
        const std::string down = "127.0.0.1:" + closed;
        add("web", "HTTP", std::to_string(servers.http.port()));
        add("web2", "HTTP", closed, "OK");
        add("files", "FTP", servers.ftp.portText());
        add("mail", "SMTP", servers.smtp.portText(), "Fail");
        add("box", "POP3", closed, "OK");
        clearRecords();
        pass();
        EXPECT_EQ(paneOfPass(),
            (Lines {
                "HTTPing " + web,
                "* Exception: Not Found",
                "HTTP OK: " + web,
                "HTTP/1.0 404 Not Found",
                "Server: scripted",
                "HTTPing " + down,
                "* Exception: Connection refused (Error #10061)",
                "HTTP Retry: " + down,
                "HTTP Fail: " + down,
                "FTPing files [127.0.0.1:" + servers.ftp.portText() + "]",
                "220 ready",
                "FTP OK: 127.0.0.1 files",
                "SMTPing mail [127.0.0.1:" + servers.smtp.portText() + "]",
                "250 mail",
                "221 bye",
                "SMTP OK: 127.0.0.1 mail",
                "POP3ing box [127.0.0.1:" + closed + "]",
                "POP3 Retry: box [127.0.0.1]",
                "POP3 Fail: 127.0.0.1 box",
            }));
        EXPECT_EQ(logLines(),
            (Lines {
                "* HTTP Exception [" + web + "] Not Found",
                "HTTP OK: " + web + " web " + LA,
                "* HTTP Exception [" + down + "] Connection refused (Error #10061)",
                "HTTP Retry: " + down,
                "HTTP FAIL: 127.0.0.1 web2 " + LA,
                "FTP OK: 127.0.0.1 files " + LA,
                "SMTP OK: 127.0.0.1 mail " + LA,
                "POP3 Retry: box [127.0.0.1]",
                "POP3 FAIL: 127.0.0.1 box " + LA,
            }));
        EXPECT_EQ(alerts.calls,
            (Lines {
                "mail HTTP Fail to: " + down + " web2",
                "run fail.sh | " + down + " web2 Fail",
                "mail SMTP OK to: 127.0.0.1 mail",
                "run ok.sh | 127.0.0.1 mail OK",
                "mail POP3 Fail to: 127.0.0.1 box",
                "run fail.sh | 127.0.0.1 box Fail",
            }));
        EXPECT_EQ(statuses(), (Lines { "OK", "Fail", "OK", "OK", "Fail" }));
        const Destination& files = controller->list().at(2);
        EXPECT_EQ(files.SubItems, (Lines { "127.0.0.1", "FTP", servers.ftp.portText(), "OK", LA }));
    }
}

namespace {

// What differs between two passes over the same servers: dovecot's APOP time stamp and the
// Date field of nginx.
Lines normalised(Lines lines)
{
    for (std::string& line : lines) {
        if (line.rfind("Date: ", 0) == 0)
            line = "Date: *";
        const size_t open = line.find('<');
        const size_t close = line.find('>', open);
        if (open != std::string::npos && close != std::string::npos)
            line.replace(open, close - open + 1, "<*>");
    }
    return lines;
}

} // namespace

// Many destinations on the real servers, with refused and silent ones among them: a pass one at
// a time and a pass sixteen at once write the same lines, and each test has a client of its
// own.
TEST_F(PassFixture, RealServersOneAtATimeAndSideBySide)
{
    test::HttpServerFixture http;
    test::FtpServerFixture ftp;
    test::SmtpServerFixture smtp;
    test::Pop3ServerFixture pop3;
    test::ImapServerFixture imap;
    ASSERT_TRUE(http.started() && ftp.started() && smtp.started() && pop3.started() && imap.started());
    SilentListener silent;
    const std::string closed = std::to_string(test::closedLoopbackPort());
    start();
    controller->settings().Verbose = true;
    Lines expected;
    for (int round = 0; round < 4; ++round) {
        const std::string n = std::to_string(round);
        add("web" + n, "HTTP", std::to_string(http.port()));
        add("files" + n, "FTP", std::to_string(ftp.port()));
        add("mail" + n, "SMTP", std::to_string(smtp.port()));
        add("box" + n, "POP3", std::to_string(pop3.port()));
        add("imap" + n, "IMAP", std::to_string(imap.port()));
        add("refused" + n, round % 2 ? "FTP" : "IMAP", closed);
        add("silent" + n, round % 2 ? "POP3" : "IMAP", silent.portText());
        expected.insert(expected.end(), { "OK", "OK", "OK", "OK", "OK", "Fail", "Fail" });
    }
    Lines pane[2];
    Lines logs[2];
    for (const int parallel : { 1, 16 }) {
        SCOPED_TRACE(parallel);
        controller->settings().MaxParallelTests = parallel;
        for (int row = 0; row < controller->list().count(); ++row) {
            Destination d = controller->list().at(row);
            d.SubItems[3] = "na";
            controller->list().update(row, d);
        }
        clearRecords();
        pass();
        EXPECT_EQ(statuses(), expected);
        pane[parallel > 1] = normalised(paneOfPass());
        logs[parallel > 1] = logLines();
    }
    EXPECT_EQ(pane[0], pane[1]);
    EXPECT_EQ(logs[0], logs[1]);
}

// Abort and the close end the tests that wait, of every service, one at a time and side by
// side, without a result: the rows were "OK" and stay so, with no FAIL or retry line and no
// alert; the pane says which tests stopped, in list order. PING and TCP wait on an address
// whose packets this namespace drops; the others on a server that never greets.
TEST_F(PassFixture, AbortAndCloseEndTestsWithoutAResult)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    test::mustRun("iptables -A INPUT -d 127.0.2.1 -j DROP");
    SilentListener silent;
    start();
    MonitorSettings& s = controller->settings();
    setTimeOuts(s, SessionServices, 60s);
    s.of(Service::Tcp).timeOut = 60s;
    s.of(Service::Ping).timeOut = 2s; // Abort lets an echo run out
    for (ServiceOptions& options : s.services)
        options.retryOnFirstFail = true;
    const char* services[] = { "PING", "TCP", "HTTP", "FTP", "SMTP", "POP3", "IMAP" };
    for (const char* service : services) {
        const bool dropped = std::string(service) == "PING" || std::string(service) == "TCP";
        add(std::string("quiet ") + service,
            service,
            dropped ? "80" : silent.portText(),
            "OK",
            dropped ? "127.0.2.1" : "127.0.0.1");
    }
    const Lines allOk(7, "OK");
    const struct
    {
        int parallel;
        bool close;
        size_t stopped; // tests under way when the stop comes
    } cases[] = { { 1, false, 1 }, { 8, false, 7 }, { 1, true, 1 }, { 8, true, 7 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.parallel) + (c.close ? " close" : " abort"));
        s.MaxParallelTests = c.parallel;
        clearRecords();
        const auto started = std::chrono::steady_clock::now();
        engine().TestAllDestinations();
        core::waitFor([] { return false; }, 300ms);
        ASSERT_EQ(engine().testsUnderWay(), static_cast<int>(c.stopped)) << testing::PrintToString(frontEnd.activity);
        if (c.close)
            engine().stopForClose();
        else
            engine().Abort();
        ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 10s));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        core::waitFor([] { return false; }, 200ms); // nothing comes back later
        EXPECT_EQ(statuses(), allOk);
        EXPECT_TRUE(logLines().empty()) << logLines().front();
        EXPECT_TRUE(alerts.calls.empty());
        Lines stopped;
        for (const std::string& line : paneOfPass())
            if (line.find(" stopped: ") != std::string::npos)
                stopped.push_back(line);
        Lines expected = { "Ping stopped: 127.0.2.1 quiet PING (no result)",
            "TCP stopped: 127.0.2.1 quiet TCP (no result)",
            "HTTP stopped: 127.0.0.1:" + silent.portText() + " quiet HTTP (no result)",
            "FTP stopped: 127.0.0.1 quiet FTP (no result)",
            "SMTP stopped: 127.0.0.1 quiet SMTP (no result)",
            "POP3 stopped: 127.0.0.1 quiet POP3 (no result)",
            "IMAP stopped: 127.0.0.1 quiet IMAP (no result)" };
        expected.resize(c.stopped);
        EXPECT_EQ(stopped, expected);
        for (int row = 0; row < controller->list().count(); ++row)
            EXPECT_NE(controller->list().at(row).State, StateImage::UnderTest);
        if (c.close)
            engine().reopenAfterFailedClose();
    }
}
