#pragma once

// The real SEN as a service manager, cron or a monitoring system starts it: copied into a
// folder of its own beside its SEN.INI, without a display, with a pinned locale. Destinations
// are loopback ports this fixture opens (one that accepts, one that refuses, one whose accept
// queue is full so that a connect waits for its time-out).

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct SenConsole : ::testing::Test
{
    test::TempDir dir;
    fs::path program = dir / "bin" / "SEN";
    fs::path ini = dir / "bin" / "SEN.INI";
    fs::path log = dir / "SEN.LOG";
    QString out;
    QString err;
    std::vector<int> sockets;

    void SetUp() override;
    void TearDown() override;

    // A loopback port that accepts connections (the kernel completes them; nobody reads).
    int openPort();
    // A loopback port where nothing listens.
    int closedPort();
    // A loopback port whose accept queue is full: a connect gets no answer at all.
    int silentPort();

    // No display, a pinned locale.
    static QProcessEnvironment environment();
    // Runs SEN with `arguments` to its end; its exit status, or -1 when it did not end in time.
    int run(const QStringList& arguments, std::chrono::seconds timeout = std::chrono::seconds(60));
    // Starts SEN in the background.
    std::unique_ptr<QProcess> start(const QStringList& arguments);
    // Reads standard output into `out` until it holds `text` `times` times; false after the time-out.
    bool waitForOutput(
        QProcess& process, const QString& text, int times = 1, std::chrono::seconds timeout = std::chrono::seconds(30));
    // Sends a signal and waits for the end; the exit status, or -1.
    int stop(QProcess& process, int signalNumber);

    // The log's lines, stamps and times replaced by "<stamp>" and "<ms>".
    std::vector<std::string> logLines() const;
    static std::string withoutStamps(std::string text);
};

// Keys of a data file's DestList rows.
std::string destination(
    int n, const std::string& name, const std::string& service, int port, const std::string& status = "na");
