// The metrics file: its text as the Prometheus parser reads it (with hostile captions and
// duplicate rows), write failures, and the engine's pass writing it. The replacement itself is
// core::writeWholeFile's (tests/core/WholeFile_test.cpp).

#include "ControllerFixture.h"
#include "ScriptedProbes.h"

#include "common/core/EventLoop.h"
#include "monitor/core/MetricsFile.h"
#include "monitor/core/TestEngine.h"
#include "tests/support/PrivateNamespace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>

using namespace monitor;
using namespace std::chrono_literals;

namespace {

const QDateTime T0(QDate(2026, 6, 12), QTime(14, 5, 9), Qt::UTC);

// sample name + " " + labels as JSON -> value, as the parser of python3-prometheus-client reads
// the file; the parser's complaint in `error`.
std::map<std::string, double> parsed(const fs::path& file, std::string& error)
{
    std::string output;
    const std::string script = std::string(std::getenv("SOURCE_DIR")) + "/tests/fixtures/parse_metrics.py";
    const int code = test::runCommand({ "/usr/bin/python3", script, file.string() }, &output);
    std::map<std::string, double> samples;
    if (code != 0) {
        error = output;
        return samples;
    }
    for (const QByteArray& line : QByteArray::fromStdString(output).split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonArray sample = QJsonDocument::fromJson(line).array();
        const QByteArray labels = QJsonDocument(sample[1].toObject()).toJson(QJsonDocument::Compact);
        samples[sample[0].toString().toStdString() + " " + labels.toStdString()] = sample[2].toDouble();
    }
    return samples;
}

Destination row(const std::string& host, const std::string& ip, const std::string& status,
    const std::string& service = "TCP", const std::string& port = "80")
{
    Destination d = Destination::added(host, ip, service, port);
    d.SubItems[3] = status;
    return d;
}

} // namespace

TEST(MetricsFile, TheParserReadsEveryValueWhateverTheCaptions)
{
    test::TempDir dir;
    DestinationList list;
    list.append(row("web \"main\" \\ one", "127.0.0.1", "OK"));
    list.append(row("line\r\nbreak \xff\xfe", "fe80::1%lo", "Fail")); // IPv6 as typed
    list.append(row("web \"main\" \\ one", "127.0.0.1", "OK")); // the same series again
    list.append(row("new", "127.0.0.3", "na"));
    list.append(row("tls", "127.0.0.4", "Fail", "IMAPS", "993"));
    MetricsFile metrics;
    metrics.passStarted(T0);
    metrics.testRecorded(list.keyOf(0), true, "Fail", T0, T0.addMSecs(1234), true);
    metrics.testRecorded(list.keyOf(1), false, "Fail", T0, T0.addMSecs(2000), true);
    metrics.testRecorded(list.keyOf(2), true, "OK", T0, T0.addMSecs(5), true);
    // A certificate that came with a failed test (expiring soon) is written all the same.
    const std::time_t notAfter = T0.toSecsSinceEpoch() + 3 * 86400;
    metrics.testRecorded(list.keyOf(4), false, "OK", T0, T0.addMSecs(10), true, notAfter);
    const fs::path file = dir / "sen.prom";
    ASSERT_EQ(metrics.passEnded(file.string(), list, T0.addMSecs(2500)), std::nullopt);

    std::string error;
    const auto samples = parsed(file, error);
    ASSERT_TRUE(error.empty()) << error << test::readFile(file);
    const std::string web
        = R"({"address":"127.0.0.1","destination":"web \"main\" \\ one","port":"80","service":"TCP"})";
    const std::string broken
        = "{\"address\":\"fe80::1%lo\",\"destination\":\"line\\r\\nbreak \xef\xbf\xbd\xef\xbf\xbd\",\"port\":\"80\","
          "\"service\":\"TCP\"}";
    const double start = static_cast<double>(T0.toSecsSinceEpoch());
    const std::string tls = R"({"address":"127.0.0.4","destination":"tls","port":"993","service":"IMAPS"})";
    const std::map<std::string, double> expected = {
        { "sen_destination_up " + web, 1 },
        { "sen_destination_up " + broken, 0 },
        { "sen_destination_probe_duration_seconds " + web, 1.234 },
        { "sen_destination_probe_duration_seconds " + broken, 2 },
        { "sen_destination_last_change_timestamp_seconds " + web, start + 1.234 }, // Fail -> OK
        { "sen_destination_last_change_timestamp_seconds " + broken, start + 2 }, // first seen
        { "sen_destination_up " + tls, 0 },
        { "sen_destination_probe_duration_seconds " + tls, 0.01 },
        { "sen_destination_last_change_timestamp_seconds " + tls, start + 0.01 },
        { "sen_destination_cert_expiry_timestamp_seconds " + tls, static_cast<double>(notAfter) },
        { "sen_pass_duration_seconds {}", 2.5 },
        { "sen_pass_end_timestamp_seconds {}", start + 2.5 },
        { R"(sen_pass_destinations {"result":"ok"})", 2 },
        { R"(sen_pass_destinations {"result":"fail"})", 2 },
        { R"(sen_pass_destinations {"result":"untested"})", 1 },
        { "sen_destinations {}", 5 },
        { "sen_passes_total {}", 1 },
    };
    EXPECT_EQ(samples, expected);
}

namespace {

struct MetricsEngine : ControllerFixture
{
    ScriptedProbes probes;
    RecordingAlerts alerts;
    fs::path metrics = dir / "textfile" / "sen.prom";

    void start(const std::string& metricsPath)
    {
        test::writeFile(ini,
            "[SEN]\r\nMaxParallelTests=4\r\nMetricsFile=" + metricsPath
                + "\r\n[DestList]\r\nDestCount=3\r\n"
                  "NAME1=up\r\nIP1=127.0.0.1\r\nService1=TCP\r\nPort1=22\r\nStat1=OK\r\n"
                  "NAME2=down\r\nIP2=127.0.0.2\r\nService2=TCP\r\nPort2=22\r\nStat2=OK\r\n"
                  "NAME3=fresh\r\nIP3=127.0.0.3\r\nService3=PING\r\nStat3=na\r\n");
        fs::create_directories(metrics.parent_path());
        run();
        controller->setProbeFactory(&probes);
        controller->setAlertSender(&alerts);
        probes.script = [](const TestContext& c, Attempt) { return Script(c.IP != "127.0.0.2", 10); };
    }

    void pass()
    {
        controller->engine().TestAllDestinations();
        ASSERT_TRUE(core::waitFor([&] { return !controller->engine().passing(); }, 20s));
    }
};

} // namespace

TEST_F(MetricsEngine, EveryPassRewritesTheFileNamedInTheDataFile)
{
    start(metrics.string());
    EXPECT_EQ(controller->settings().metricsFile, metrics.string());
    EXPECT_FALSE(fs::exists(metrics));
    pass();
    std::string error;
    auto samples = parsed(metrics, error);
    ASSERT_TRUE(error.empty()) << error;
    const std::string up = R"({"address":"127.0.0.1","destination":"up","port":"22","service":"TCP"})";
    const std::string down = R"({"address":"127.0.0.2","destination":"down","port":"22","service":"TCP"})";
    const std::string fresh = R"({"address":"127.0.0.3","destination":"fresh","port":"","service":"PING"})";
    EXPECT_EQ(samples["sen_destination_up " + up], 1);
    EXPECT_EQ(samples["sen_destination_up " + down], 0);
    EXPECT_EQ(samples["sen_destination_up " + fresh], 1);
    EXPECT_GE(samples["sen_destination_probe_duration_seconds " + up], 0.005);
    EXPECT_EQ(samples[R"(sen_pass_destinations {"result":"fail"})"], 1);
    EXPECT_EQ(samples["sen_passes_total {}"], 1);

    // A removed row leaves the file at the next pass; the count goes on.
    controller->list().remove({ 1 });
    pass();
    samples = parsed(metrics, error);
    EXPECT_EQ(samples.count("sen_destination_up " + down), 0u);
    EXPECT_EQ(samples["sen_destinations {}"], 2);
    EXPECT_EQ(samples["sen_passes_total {}"], 2);

    // The key is written after "MaxParallelTests".
    controller->save();
    EXPECT_NE(
        test::readFile(ini).find("MaxParallelTests=4\r\nMetricsFile=" + metrics.string() + "\r\n"), std::string::npos);
}

TEST_F(MetricsEngine, AFileThatCannotBeWrittenIsALineInThePane)
{
    const fs::path bad = dir / "no such folder" / "sen.prom";
    start(bad.string());
    pass();
    const auto& pane = frontEnd.activity;
    const auto error = std::find(pane.begin(),
        pane.end(),
        "*** ERROR: Cannot write metrics file " + bad.string() + ": No such file or directory");
    ASSERT_NE(error, pane.end());
    ASSERT_GE(pane.end() - error, 3);
    EXPECT_EQ(error[2].rfind("END test at ", 0), 0u); // the pass's last lines follow
}

TEST_F(MetricsEngine, NoKeyNoFile)
{
    start("");
    pass();
    EXPECT_TRUE(fs::is_empty(metrics.parent_path()));
}
