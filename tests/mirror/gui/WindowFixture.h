#pragma once

// A mirror window on the offscreen platform with its own RPL.INI in a temporary folder, a
// source tree, and scripted dialogs.

#include "ScriptedDialogs.h"

#include "common/desktop/gui/TrayIcon.h"
#include "mirror/gui/MainWindow.h"
#include "mirror/gui/SettingsPage.h"
#include "mirror/gui/StatusPage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <filesystem>
#include <memory>

using namespace mirror;

namespace fs = std::filesystem;

struct WindowFixture : ::testing::Test
{
    test::TempDir dir;
    fs::path program = dir / "RPL";
    fs::path ini = dir / "RPL.INI";
    fs::path source = dir / "source";
    fs::path destination = dir / "mirror";
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> window;

    void SetUp() override
    {
        for (int i = 0; i < 40; ++i)
            test::writeFile(source / ("f" + std::to_string(i) + ".txt"), "file " + std::to_string(i));
        fs::create_directories(destination);
    }

    void writeIni(const std::string& extra = "")
    {
        test::writeFile(ini,
            "[RPL]\r\nFolderCount=1\r\nFolder0=+" + source.string() + " >> " + destination.string() + "\r\n" + extra);
    }

    void open(const QStringList& arguments = {})
    {
        std::vector<std::string> words { "RPL" };
        for (const QString& argument : arguments)
            words.push_back(argument.toStdString());
        window = std::make_unique<TForm1>(program.string(), parseCommandLine(words), &dialogs);
        window->setPumpInterval(0);
        window->show();
        settle();
    }

    // Lets posted calls (first activation, shortcuts) run.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    // Runs `action` from inside the next event round, i.e. while a run is busy.
    static void duringRun(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

    int copiedFiles() const
    {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(destination))
            n += entry.is_regular_file();
        return n;
    }
    QString summary() const { return window->statusPage->Summary->toPlainText(); }
};
