#include "PrivateNamespace.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace test {

namespace {

constexpr const char* MarkerVariable = "TEST_PRIVATE_NAMESPACE";
constexpr const char* EmptyFile = "/tmp/test-private-namespace-empty-file";
constexpr int ChildTimeoutMs = 120000;

int runProcess(const std::vector<std::string>& argv, std::string* output, bool marked)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (marked) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(MarkerVariable, "1");
        process.setProcessEnvironment(environment);
    }
    QStringList arguments;
    for (size_t i = 1; i < argv.size(); ++i)
        arguments << QString::fromStdString(argv[i]);
    process.start(QString::fromStdString(argv.at(0)), arguments);
    const bool finished = process.waitForFinished(ChildTimeoutMs);
    if (output)
        *output = process.readAll().toStdString() + (finished ? "" : "\n(did not finish in time)");
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Whether `unshare <option>` works here at all; the reason when it does not.
std::string namespaceFailure(const std::string& option)
{
    static std::map<std::string, std::string> failures;
    const auto known = failures.find(option);
    if (known != failures.end())
        return known->second;
    std::string output;
    const int code = runCommand({ "unshare", option, "true" }, &output);
    return failures[option] = code == 0 ? std::string() : "cannot create a namespace (" + option + ") here: " + output;
}

} // namespace

bool insidePrivateNamespace()
{
    return std::getenv(MarkerVariable) != nullptr;
}

ChildRun rerunUnshared(const std::vector<std::string>& unshareOptions, const std::vector<std::string>& wrapper)
{
    ChildRun run;
    run.output = namespaceFailure(unshareOptions.at(0));
    if (!run.output.empty()) {
        run.skipped = true;
        return run;
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string fullName = std::string(info->test_suite_name()) + "." + info->name();
    std::vector<std::string> argv = { "unshare" };
    argv.insert(argv.end(), unshareOptions.begin(), unshareOptions.end());
    argv.push_back("--");
    argv.insert(argv.end(), wrapper.begin(), wrapper.end());
    argv.push_back(std::filesystem::read_symlink("/proc/self/exe").string());
    argv.push_back("--gtest_filter=" + fullName);
    argv.push_back("--gtest_color=no");
    const int code = runProcess(argv, &run.output, true);
    // Exit code 0 alone would also mean "no test matched the filter".
    run.passed = code == 0 && run.output.find("[  PASSED  ] 1 test.") != std::string::npos;
    return run;
}

ChildRun rerunInPrivateNetwork(const std::vector<std::string>& wrapper)
{
    return rerunUnshared({ "--net" }, wrapper);
}

ChildRun rerunInPrivateMounts()
{
    return rerunUnshared({ "--mount", "--propagation", "private" });
}

ChildRun rerunInPrivateNetworkAndMounts()
{
    return rerunUnshared({ "--net", "--mount", "--propagation", "private" });
}

int runCommand(const std::vector<std::string>& argv, std::string* output)
{
    return runProcess(argv, output, false);
}

void mustRun(const std::string& commandLine)
{
    std::vector<std::string> argv;
    std::istringstream words(commandLine);
    for (std::string word; words >> word;)
        argv.push_back(word);
    std::string output;
    if (runCommand(argv, &output) != 0)
        throw std::runtime_error(argv.at(0) + " failed: " + output);
}

void setSysctl(const std::string& name, const std::string& value)
{
    std::ofstream file("/proc/sys/" + name);
    file << value;
    file.close();
    if (!file)
        throw std::runtime_error("cannot set " + name);
}

bool hideFile(const std::string& path)
{
    return runCommand({ "touch", EmptyFile }) == 0 && runCommand({ "mount", "--bind", EmptyFile, path }) == 0;
}

} // namespace test
