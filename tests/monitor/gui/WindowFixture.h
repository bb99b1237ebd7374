#pragma once

// A monitor window on the offscreen platform beside a program "SEN" in a temporary folder,
// past its startup actions, with scripted dialogs, recorded program starts and a recording
// file manager.

#include "ScriptedDialogs.h"

#include "monitor/gui/DestListModel.h"
#include "monitor/gui/DestinationPane.h"
#include "monitor/gui/MainWindow.h"
#include "monitor/gui/OptionsPane.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using namespace monitor;

struct RecordingFileManager : FileManager
{
    void showItem(const std::string& path) override { shown.push_back(path); }
    std::vector<std::string> shown;
};

struct WindowFixture : ::testing::Test
{
    test::TempDir dir;
    fs::path program = dir / "SEN";
    fs::path ini = dir / "SEN.INI";
    ScriptedDialogs dialogs;
    std::vector<std::vector<std::string>> started;
    RecordingFileManager fileManager;
    std::unique_ptr<TForm1> window;
    DestinationPane* pane = nullptr;
    OptionsPane* options = nullptr;

    // The command line of a start with these arguments.
    std::vector<std::string> withProgram(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> words { program.string() };
        words.insert(words.end(), arguments.begin(), arguments.end());
        return words;
    }

    void open(const std::vector<std::string>& arguments = {})
    {
        window.reset();
        window = std::make_unique<TForm1>(program.string(), parseCommandLine(withProgram(arguments)), &dialogs);
        window->controller().setProgramStarter([this](const std::vector<std::string>& command) {
            started.push_back(command);
            return 0;
        });
        window->controller().setFileManager(&fileManager);
        window->controller().setEnvironment([](const std::string&) { return std::nullopt; });
        window->controller().StartupActions();
        window->show();
        QApplication::setActiveWindow(window.get());
        pane = window->destinationPane;
        options = window->optionsPane;
        settle();
    }

    void TearDown() override
    {
        if (window)
            window->controller().settings().saveOnExit = false;
        window.reset();
    }

    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    void type(QWidget* widget, const QString& text)
    {
        widget->setFocus();
        QTest::keyClicks(widget, text);
    }

    void addRow(const QString& host, const QString& ip, int service = 0, const QString& port = "")
    {
        pane->HostInput->setText(host);
        pane->IPInput->setText(ip);
        pane->ServiceInput->setCurrentIndex(service);
        if (!port.isEmpty())
            pane->PortInput->setText(port);
        pane->btnAdd->click();
    }

    void select(const std::vector<int>& rows)
    {
        auto* selection = pane->DestList->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(pane->model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QStringList activityLines() const { return window->Activity->toPlainText().split(QLatin1Char('\n')); }
};
