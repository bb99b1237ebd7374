#pragma once

// A monitor controller whose alert mails go to Debian's aiosmtpd on a loopback port, with the
// clock pinned so that every stamp reads `Stamp`. Each stored mail is read back through
// Python's email package.

#include "ControllerFixture.h"

#include "monitor/core/AlertDispatcher.h"
#include "tests/net/SmtpServerFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <sstream>

inline QDateTime pinnedNow()
{
    return QDateTime(QDate(2026, 6, 12), QTime(14, 5, 9));
}

// Records the SMTP pane and can act in the middle of a send when a given line shows.
struct RecordingPane : monitor::SmtpPaneView
{
    std::vector<std::string> lines;
    std::vector<bool> busy;
    std::string trigger;
    std::function<void()> onTrigger;

    void clearSmtpPane() override { lines.clear(); }
    void appendSmtpPaneLine(const std::string& line) override
    {
        lines.push_back(line);
        if (onTrigger && line == trigger)
            std::exchange(onTrigger, nullptr)();
    }
    void showMailBusy(bool on) override { busy.push_back(on); }
};

struct AlertFixture : ControllerFixture
{
    test::SmtpServerFixture server;
    RecordingPane pane;
    int stored = 0;

    monitor::AlertDispatcher& alerts() { return controller->alerts(); }
    monitor::AlertActions& actions() { return controller->settings().actions; }

    // Started from `iniText` (none when empty) with the mails going to the fixture, up to and
    // without the startup actions.
    monitor::MonitorController& begin(const std::string& iniText = "")
    {
        if (!iniText.empty())
            test::writeFile(ini, iniText);
        open();
        actions().smtpPort = std::to_string(server.port());
        alerts().mailer().setView(&pane);
        alerts().setClock(pinnedNow);
        if (iniText.empty()) {
            actions().emailAddress = "ops@office.test";
            actions().fromAddress = "sen@office.test";
        }
        return *controller;
    }

    // Past the startup actions, with logging on from then.
    monitor::MonitorController& beginLogged(const std::string& iniText = "")
    {
        begin(iniText);
        controller->StartupActions();
        controller->log().setEnabled(true);
        return *controller;
    }

    // The next stored mail, parsed.
    QJsonObject nextMail()
    {
        const std::string path = server.waitForMessage(++stored);
        EXPECT_FALSE(path.empty()) << "mail " << stored << " never arrived";
        return path.empty() ? QJsonObject() : test::SmtpServerFixture::parse(path);
    }
    QJsonObject envelopeOf(int n) { return test::SmtpServerFixture::envelope(server.waitForMessage(n)); }

    static std::string header(const QJsonObject& mail, const std::string& name)
    {
        for (const auto& pair : mail["headers"].toArray()) {
            if (pair.toArray()[0].toString().toStdString() == name)
                return pair.toArray()[1].toString().toStdString();
        }
        return "(none)";
    }
    static std::string text(const QJsonObject& mail)
    {
        return mail["parts"].toArray()[0].toObject()["text"].toString().toStdString();
    }

    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(test::readFile(log));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find('\r')));
        return lines;
    }
    std::vector<std::string> activitySince(size_t from) const
    {
        return std::vector<std::string>(
            frontEnd.activity.begin() + long(std::min(from, frontEnd.activity.size())), frontEnd.activity.end());
    }
};
