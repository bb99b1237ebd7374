// The input row in the window: button enabling, the service choice and its port, the focus
// moves, the Enter keys, Add, Remove and the click on the list.

#include "WindowFixture.h"

#include "common/core/EventLoop.h"

#include <QToolButton>

#include <chrono>

TEST_F(WindowFixture, ButtonsFollowTheTexts)
{
    open();
    EXPECT_EQ(pane->ServiceInput->currentText(), "PING");
    EXPECT_FALSE(pane->btnDNS->isEnabled());
    EXPECT_FALSE(pane->btnAdd->isEnabled());
    EXPECT_FALSE(pane->btnRemove->isEnabled());
    type(pane->HostInput, "gw");
    EXPECT_TRUE(pane->btnDNS->isEnabled());
    EXPECT_FALSE(pane->btnAdd->isEnabled());
    type(pane->IPInput, "127.0.0.1");
    EXPECT_TRUE(pane->btnAdd->isEnabled());
    pane->HostInput->clear();
    EXPECT_FALSE(pane->btnDNS->isEnabled());
    EXPECT_FALSE(pane->btnAdd->isEnabled());
}

TEST_F(WindowFixture, TcpGivesPortZeroWhichTheFocusEmpties)
{
    open();
    const std::vector<std::pair<int, QString>> ports
        = { { 2, "80" }, { 3, "21" }, { 4, "25" }, { 5, "110" }, { 0, "" }, { 1, "0" } };
    for (const auto& [service, port] : ports) {
        pane->ServiceInput->setCurrentIndex(service); // as the mouse chooses
        EXPECT_EQ(pane->PortInput->text(), port) << service;
    }
    EXPECT_FALSE(pane->PortInput->hasFocus());
    pane->PortInput->setFocus();
    settle();
    EXPECT_EQ(pane->PortInput->text(), "");
    pane->PortInput->setText("8080");
    pane->HostInput->setFocus();
    pane->PortInput->setFocus();
    EXPECT_EQ(pane->PortInput->text(), "8080");

    // With the keyboard in the box, TCP sends the focus on to the empty port box.
    pane->ServiceInput->setCurrentIndex(0);
    pane->ServiceInput->setFocus();
    ASSERT_TRUE(pane->ServiceInput->hasFocus());
    QTest::keyClick(pane->ServiceInput, Qt::Key_Down);
    EXPECT_EQ(pane->ServiceInput->currentText(), "TCP");
    EXPECT_TRUE(pane->PortInput->hasFocus());
    EXPECT_EQ(pane->PortInput->text(), "");
    pane->ServiceInput->setFocus();
    QTest::keyClick(pane->ServiceInput, Qt::Key_Down);
    EXPECT_EQ(pane->PortInput->text(), "80");
    EXPECT_TRUE(pane->ServiceInput->hasFocus());
}

TEST_F(WindowFixture, EnterKeysLookUpAndAdd)
{
    open();
    type(pane->HostInput, "127.0.0.7");
    QTest::keyClick(pane->HostInput, Qt::Key_Return);
    EXPECT_EQ(pane->IPInput->text(), "127.0.0.7");
    EXPECT_TRUE(pane->IPInput->hasFocus());

    pane->ServiceInput->setCurrentIndex(2);
    QTest::keyClick(pane->IPInput, Qt::Key_Enter);
    ASSERT_EQ(window->controller().list().count(), 1);
    EXPECT_EQ(window->controller().list().at(0).SubItems,
        (std::vector<std::string> { "127.0.0.7", "HTTP", "80", "na", "na" }));
    EXPECT_EQ(pane->HostInput->text(), "");
    EXPECT_EQ(pane->IPInput->text(), "");
    EXPECT_EQ(pane->ServiceInput->currentText(), "HTTP");
    EXPECT_EQ(pane->PortInput->text(), "80");
    EXPECT_TRUE(pane->HostInput->hasFocus());

    // Enter in the port box adds as well; with an empty host it does nothing.
    QTest::keyClick(pane->PortInput, Qt::Key_Return);
    EXPECT_EQ(window->controller().list().count(), 1);
    pane->HostInput->setText("second");
    pane->IPInput->setText("127.0.0.8");
    QTest::keyClick(pane->PortInput, Qt::Key_Return);
    EXPECT_EQ(window->controller().list().count(), 2);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(WindowFixture, AnUnknownHostNamesTheHostBoxAsItIsWhenTheAnswerComes)
{
    open();
    pane->HostInput->setText("no-such-host.invalid");
    pane->IPInput->setText("stale");
    QTest::keyClick(pane->HostInput, Qt::Key_Return);
    EXPECT_EQ(pane->IPInput->text(), "");
    pane->HostInput->setText("changed meanwhile");
    core::waitFor([&] { return !dialogs.messages.isEmpty(); }, std::chrono::seconds(20));
    EXPECT_EQ(dialogs.messages, QStringList { "Unknown Host: changed meanwhile" });
    EXPECT_EQ(pane->IPInput->text(), "");
}

TEST_F(WindowFixture, RemoveTakesEverySelectedRowAndLeavesTheLastInTheInputRow)
{
    open();
    for (int i = 0; i < 5; ++i)
        addRow(QString("host%1").arg(i), QString("127.0.0.%1").arg(i), i % 2 ? 1 : 2, QString("%1").arg(1000 + i));
    select({ 1, 3, 2 });
    pane->DestListClick();
    EXPECT_TRUE(pane->btnRemove->isEnabled());
    EXPECT_EQ(pane->HostInput->text(), "host1");
    pane->btnRemove->click();
    EXPECT_EQ(window->controller().list().count(), 2);
    EXPECT_EQ(window->controller().list().at(1).HostName, "host4");
    EXPECT_EQ(pane->HostInput->text(), "host3");
    EXPECT_EQ(pane->IPInput->text(), "127.0.0.3");
    EXPECT_EQ(pane->ServiceInput->currentText(), "TCP");
    EXPECT_EQ(pane->PortInput->text(), "1003");
    EXPECT_FALSE(pane->btnRemove->isEnabled());
    EXPECT_TRUE(pane->btnAdd->isEnabled()); // Add re-enters what was removed

    // A click that leaves nothing selected empties the row.
    select({});
    pane->DestListClick();
    EXPECT_EQ(pane->HostInput->text(), "");
    EXPECT_EQ(pane->ServiceInput->currentText(), "PING");
    EXPECT_EQ(pane->PortInput->text(), "");
    EXPECT_FALSE(pane->btnRemove->isEnabled());
}

TEST_F(WindowFixture, MenusEnableTheirItemsWhenTheyOpen)
{
    open();
    addRow("a", "127.0.0.1");
    emit window->ListMenu->aboutToShow();
    EXPECT_FALSE(window->actAddToList->isEnabled());
    EXPECT_FALSE(window->actRemoveFromList->isEnabled());
    emit window->TestMenu->aboutToShow();
    EXPECT_FALSE(window->actTestSelected->isEnabled());

    pane->HostInput->setText("b");
    pane->IPInput->setText("127.0.0.2");
    pane->ServiceInput->setCurrentIndex(-1); // the menu item does not ask for a service
    select({ 0 });
    emit window->ListMenu->aboutToShow();
    EXPECT_TRUE(window->actAddToList->isEnabled());
    EXPECT_TRUE(window->actRemoveFromList->isEnabled());
    EXPECT_FALSE(pane->btnAdd->isEnabled());
    emit window->TestMenu->aboutToShow();
    EXPECT_TRUE(window->actTestSelected->isEnabled());
    window->actAddToList->trigger();
    EXPECT_EQ(window->controller().list().count(), 2);
}

TEST_F(WindowFixture, SortChoicesOrderTheList)
{
    open();
    addRow("delta", "127.0.0.20");
    addRow("alpha", "127.0.0.100");
    pane->cbSort->setCurrentIndex(1);
    emit pane->cbSort->activated(1);
    addRow("charlie", "127.0.0.3");
    EXPECT_EQ(window->controller().list().at(1).HostName, "charlie");
    EXPECT_EQ(pane->model->index(1, 0).data().toString(), "charlie");
    pane->cbSort->setCurrentIndex(2);
    emit pane->cbSort->activated(2);
    // By number: 127.0.0.3, 127.0.0.20, 127.0.0.100.
    EXPECT_EQ(pane->model->index(0, 0).data().toString(), "charlie");
    EXPECT_EQ(pane->model->index(2, 1).data().toString(), "127.0.0.100");
}

TEST_F(WindowFixture, AWindowClosedDuringALookUpIsNotCalledBack)
{
    open();
    pane->HostInput->setText("localhost");
    pane->btnDNS->click();
    window.reset(); // the answer has nobody to go to
    core::waitFor([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
