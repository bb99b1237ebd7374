#pragma once

// A monitor controller beside a program "SEN" in a temporary folder, with a recording front
// end, recorded program starts and an environment without editor variables.

#include "RecordingFrontEnd.h"

#include "monitor/core/MonitorController.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <filesystem>
#include <map>
#include <memory>

namespace fs = std::filesystem;

struct ControllerFixture : ::testing::Test
{
    test::TempDir dir;
    fs::path program = dir / "SEN";
    fs::path ini = dir / "SEN.INI";
    fs::path log = dir / "SEN.LOG";
    RecordingFrontEnd frontEnd;
    RecordedStarts starts;
    RecordingFileManager fileManager;
    std::map<std::string, std::string> environment;
    std::unique_ptr<monitor::MonitorController> controller;

    // A controller as the program's start makes it, still starting up.
    monitor::MonitorController& open(const monitor::CommandLine& commandLine = {})
    {
        frontEnd = RecordingFrontEnd();
        controller = std::make_unique<monitor::MonitorController>(program.string(), frontEnd.roles());
        controller->log().setView(&frontEnd);
        controller->setProgramStarter(starts.starter());
        controller->setFileManager(&fileManager);
        controller->setEnvironment([this](const std::string& name) -> std::optional<std::string> {
            const auto found = environment.find(name);
            return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
        });
        controller->log().setClock([] { return QDateTime(QDate(2026, 6, 12), QTime(14, 5, 9)); });
        controller->start(commandLine);
        return *controller;
    }

    // Started and past its startup actions, as the user meets it.
    monitor::MonitorController& run(const monitor::CommandLine& commandLine = {})
    {
        open(commandLine);
        controller->StartupActions();
        return *controller;
    }

    static monitor::Destination row(const std::string& host,
        const std::string& ip,
        const std::string& service = "PING",
        const std::string& port = "")
    {
        return monitor::Destination::added(host, ip, service, port);
    }
};

inline constexpr const char* Stamp = "6/12/26 2:05:09 PM";
