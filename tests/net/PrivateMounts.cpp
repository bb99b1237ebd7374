#include "PrivateMounts.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <filesystem>

namespace test {

namespace {

constexpr const char* kMarker = "NET_TEST_PRIVATE_MOUNTS";
constexpr const char* kEmptyFile = "/tmp/net-test-empty-file";

int run(const QString& program, const QStringList& arguments, std::string* output, bool marked)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (marked) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kMarker, "1");
        process.setProcessEnvironment(environment);
    }
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    if (output)
        *output = process.readAll().toStdString();
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

bool insidePrivateMounts()
{
    return std::getenv(kMarker) != nullptr;
}

MountChildRun rerunInPrivateMounts()
{
    MountChildRun result;
    std::string probe;
    if (run("unshare", { "--mount", "true" }, &probe, false) != 0) {
        result.skipped = true;
        result.output = "cannot create a mount namespace here: " + probe;
        return result;
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter
        = QString::fromStdString(std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name());
    const QString self = QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string());
    const int code = run("unshare",
        { "--mount", "--propagation", "private", "--", self, filter, "--gtest_color=no" },
        &result.output,
        true);
    // Exit code 0 alone would also mean "no test matched the filter".
    result.passed = code == 0 && result.output.find("[  PASSED  ] 1 test.") != std::string::npos;
    return result;
}

bool hideFile(const std::string& path)
{
    if (run("touch", { kEmptyFile }, nullptr, false) != 0)
        return false;
    return run("mount", { "--bind", kEmptyFile, QString::fromStdString(path) }, nullptr, false) == 0;
}

} // namespace test
