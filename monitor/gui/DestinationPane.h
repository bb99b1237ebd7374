#pragma once

// The group "Destination List": the input row, the sort choice and the list control. It keeps
// the widgets and the input-row rules (InputRow) in step and forwards the list commands to the
// controller; the list itself is shown through DestListModel.

#include "monitor/core/InputRow.h"

#include <QGroupBox>

#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeView;

namespace core {
class Asker;
}

namespace monitor {

class DestListModel;
class HistoryPane;
class MonitorController;

class DestinationPane final : public QGroupBox
{
    Q_OBJECT
public:
    DestinationPane(MonitorController& controller, core::Asker& asker, QWidget* parent = nullptr);
    ~DestinationPane() override;

    // Commands of the buttons, the Enter keys and the List menu.
    void btnAddClick();
    void btnRemoveClick();
    void btnDNSClick();
    void ApplySort();
    // A click on the list (or a change of its selection by the keyboard).
    void DestListClick();

    // The rows selected now, lowest first.
    std::vector<int> selectedRows() const;
    // The List menu's rules when it opens.
    bool canAdd() const { return m_row.canAdd(); }
    // The sort choice from the list's mode, after a load.
    void showSortMode();
    // The service choice at start: "PING".
    void choosePing();

    QLineEdit* HostInput;
    QToolButton* btnDNS;
    QLineEdit* IPInput;
    QComboBox* ServiceInput;
    QLineEdit* PortInput;
    QPushButton* btnAdd;
    QPushButton* btnRemove;
    QComboBox* cbSort;
    QTreeView* DestList;
    DestListModel* model;
    // The selected row's history, below the list.
    HistoryPane* historyPane;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildInputRow();
    void buildList();
    // Shows m_row in the editors without firing their reactions, then updates the buttons.
    void showInputRow();
    void UpdateAddButton();
    void onServiceChanged(int index);
    // The history pane follows the selected row with the lowest index.
    void showSelectedHistory();

    MonitorController& m_controller;
    core::Asker& m_asker;
    InputRow m_row;
    bool m_serviceKeyPressed = false;
};

} // namespace monitor
