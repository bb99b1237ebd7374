// The window's side of the test engine: Test All Now and Abort (with Esc) and their states
// during a pass, the Test menu and the double click, the timer controls with their hint, the
// rows' texts and pictures, and the tray click that takes back the attention picture.

#include "WindowFixture.h"

#include "common/core/EventLoop.h"
#include "common/desktop/gui/TrayIcon.h"
#include "monitor/core/TestEngine.h"
#include "monitor/gui/HistoryPane.h"
#include "tests/monitor/core/ScriptedProbes.h"

#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>

#include <chrono>

using namespace std::chrono_literals;

namespace {

struct TestWindow : WindowFixture
{
    ScriptedProbes probes;
    RecordingAlerts alerts;

    void openWithRows(int rows)
    {
        open();
        window->controller().setProbeFactory(&probes);
        window->controller().setAlertSender(&alerts);
        for (int i = 0; i < rows; ++i)
            addRow(QString("h%1").arg(i), QString("127.0.0.%1").arg(i + 2), 1, "80");
    }

    TestEngine& engine() { return window->controller().engine(); }
    const Destination& rowAt(int i) { return window->controller().list().at(i); }
};

} // namespace

TEST_F(TestWindow, TestAllNowRunsAPassThatAbortStops)
{
    openWithRows(3);
    probes.script = [](const TestContext&, Attempt) { return Script { true, 60000 }; };
    EXPECT_TRUE(options->btnTestNow->isEnabled());
    options->btnTestNow->click();
    EXPECT_FALSE(options->btnTestNow->isEnabled());
    EXPECT_TRUE(options->BtnAbort->isEnabled());
    EXPECT_EQ(rowAt(0).State, StateImage::UnderTest);
    EXPECT_FALSE(pane->model->index(0, 0).data(Qt::DecorationRole).isNull());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 5s));
    EXPECT_TRUE(options->btnTestNow->isEnabled());
    EXPECT_FALSE(options->BtnAbort->isEnabled());
    // The test Abort ended has no result: the row keeps its status and gets its picture back.
    EXPECT_EQ(pane->model->index(0, 4).data().toString(), "na");
    EXPECT_EQ(rowAt(0).State, StateImage::None);
    EXPECT_EQ(pane->model->index(1, 4).data().toString(), "na");
    const QStringList lines = activityLines();
    EXPECT_TRUE(lines.contains("TCPing h0 [127.0.0.2:80]"));
    EXPECT_TRUE(lines.contains("TCP stopped: 127.0.0.2 h0 (no result)"));
    EXPECT_FALSE(lines.contains("TCP Fail: 127.0.0.2 h0"));
    EXPECT_TRUE(alerts.calls.empty());
    EXPECT_TRUE(lines.at(lines.size() - 2).startsWith("END test at "));
}

TEST_F(TestWindow, TestSelectedAndADoubleClickTestTheTopmostSelectedRow)
{
    openWithRows(4);
    select({ 2, 1, 3 });
    window->TestMenu->popup(QPoint(0, 0));
    EXPECT_TRUE(window->actTestSelected->isEnabled());
    window->TestMenu->hide();
    window->actTestSelected->trigger();
    ASSERT_TRUE(core::waitFor([&] { return engine().testsUnderWay() == 0; }, 5s));
    EXPECT_EQ(probes.started, std::vector<std::string> { "127.0.0.3 first" });
    EXPECT_TRUE(options->btnTestNow->isEnabled()) << "a single test leaves the buttons alone";

    select({ 3 });
    pane->DestList->scrollTo(pane->model->index(3, 1));
    const QRect cell = pane->DestList->visualRect(pane->model->index(3, 1));
    // A double click as the platform delivers it: press, release, then the double click.
    QTest::mouseClick(pane->DestList->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(pane->DestList->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(core::waitFor([&] { return engine().testsUnderWay() == 0; }, 5s));
    EXPECT_EQ(probes.started.back(), "127.0.0.5 first");
    EXPECT_EQ(rowAt(3).Status(), "OK");

    select({});
    window->TestMenu->popup(QPoint(0, 0));
    EXPECT_FALSE(window->actTestSelected->isEnabled());
    window->TestMenu->hide();
    window->TestSelectedClick();
    EXPECT_EQ(probes.started.size(), 2u);
}

TEST_F(TestWindow, TheTimerControlsArmTheTimerAndShowTheNextRun)
{
    openWithRows(0);
    EXPECT_FALSE(engine().timerActive());
    EXPECT_TRUE(options->ComboTimer->toolTip().startsWith("Next Time = "));
    options->cbTimer->click();
    EXPECT_TRUE(engine().timerActive());
    EXPECT_EQ(engine().timerInterval(), 15 * 60000);
    options->ComboTimer->setCurrentText("30");
    EXPECT_EQ(engine().timerInterval(), 30 * 60000);
    EXPECT_TRUE(options->ComboTimer->toolTip().startsWith("Next Time = "));
    options->cbTimer->click();
    EXPECT_FALSE(engine().timerActive());
}

TEST_F(TestWindow, AStateChangeInTheBackgroundRaisesTheAttentionPictureUntilClicked)
{
    openWithRows(1);
    Destination row = rowAt(0);
    row.SubItems[3] = "OK";
    window->controller().list().update(0, row);
    probes.script = [](const TestContext&, Attempt) { return Script { false }; };
    QApplication::setActiveWindow(nullptr);
    const bool background = QApplication::applicationState() != Qt::ApplicationActive;
    window->actTestAll->trigger();
    ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 5s));
    EXPECT_EQ(window->TrayIcon->Tip(), "TCP Fail to: 127.0.0.2 h0");
    if (background) {
        EXPECT_EQ(window->controller().tray().picture(), 1);
    }
    window->controller().tray().SetTrayPicture(1);
    window->TrayIcon->OnClick(*window->TrayIcon);
    EXPECT_EQ(window->controller().tray().picture(), 0);
    EXPECT_EQ(window->TrayIcon->Tip(), "TCP Fail to: 127.0.0.2 h0");
}

TEST_F(TestWindow, TheUptimeColumnAndTheChartFollowEachTest)
{
    openWithRows(3);
    probes.script = [](const TestContext& c, Attempt) { return Script(c.IP != "127.0.0.3", 1); };
    ASSERT_EQ(pane->model->columnCount(), DestListModel::ColumnTotal);
    EXPECT_EQ(pane->model->headerData(DestListModel::UptimeColumn, Qt::Horizontal, Qt::DisplayRole).toString(), "Uptime 24 h");
    EXPECT_EQ(pane->model->index(0, DestListModel::UptimeColumn).data().toString(), "");
    pane->DestList->selectionModel()->select(
        pane->model->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(pane->historyPane->title->text(), "History of h1");

    for (int pass = 0; pass < 2; ++pass) {
        options->btnTestNow->click();
        ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 5s));
    }
    ASSERT_TRUE(core::waitFor([&] { return pane->historyPane->chart->points().size() == 2; }, 5s));
    EXPECT_EQ(pane->model->index(0, DestListModel::UptimeColumn).data().toString(), "100.0%");
    EXPECT_EQ(pane->model->index(1, DestListModel::UptimeColumn).data().toString(), "0.0%");
    EXPECT_FALSE(pane->historyPane->chart->points().front().ok);
    EXPECT_EQ(pane->historyPane->uptimes->text(), "Uptime 24 h 0.0% · 7 d 0.0% · 30 d 0.0%");
    // A single test of the selected row shows at once, without waiting for a pass.
    probes.script = [](const TestContext&, Attempt) { return Script(true, 1); };
    window->TestSelectedClick();
    ASSERT_TRUE(core::waitFor([&] { return pane->historyPane->chart->points().size() == 3; }, 5s));
    EXPECT_EQ(pane->model->index(1, DestListModel::UptimeColumn).data().toString(), "33.3%");
    EXPECT_TRUE(fs::exists(dir / "SEN.history"));
}
