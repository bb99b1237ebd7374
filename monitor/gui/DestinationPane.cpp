#include "monitor/gui/DestinationPane.h"

#include "common/core/Asker.h"
#include "common/desktop/gui/QtText.h"
#include "monitor/core/MonitorController.h"
#include "monitor/core/Services.h"
#include "monitor/gui/DestListModel.h"
#include "monitor/gui/HistoryPane.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace monitor {

namespace {

QLabel* labelFor(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

DestinationPane::DestinationPane(MonitorController& controller, core::Asker& asker, QWidget* parent)
    : QGroupBox(QStringLiteral("Destination List"), parent)
    , m_controller(controller)
    , m_asker(asker)
{
    m_row.service = -1; // no choice until the start chooses PING
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addWidget(buildInputRow());
    buildList();
    historyPane = new HistoryPane(m_controller.history());
    auto* split = new QSplitter(Qt::Vertical);
    split->setChildrenCollapsible(false);
    split->addWidget(DestList);
    split->addWidget(historyPane);
    // The list first: the chart takes a strip that the user may drag taller.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({ 1000, 90 });
    layout->addWidget(split, 1);
    UpdateAddButton();
    m_controller.history().setOnChanged([this](const HistoryKey* key) { model->historyChanged(key); });
    connect(DestList->selectionModel(), &QItemSelectionModel::selectionChanged, this, &DestinationPane::showSelectedHistory);
    connect(model, &QAbstractItemModel::modelReset, this, &DestinationPane::showSelectedHistory);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &DestinationPane::showSelectedHistory);
}

DestinationPane::~DestinationPane()
{
    m_controller.history().setOnChanged(nullptr);
}

void DestinationPane::showSelectedHistory()
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        historyPane->showRow(std::nullopt, {});
        return;
    }
    const Destination& row = m_controller.list().at(rows.front());
    historyPane->showRow(historyKeyOf(row), desktop::toQString(row.HostName));
}

QWidget* DestinationPane::buildInputRow()
{
    auto* row = new QWidget;
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);

    HostInput = new QLineEdit;
    HostInput->setToolTip(QStringLiteral("Enter FQDN or your own description"));
    btnDNS = new QToolButton;
    btnDNS->setAutoRaise(true);
    btnDNS->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    btnDNS->setToolTip(QStringLiteral("DNS Lookup"));
    btnDNS->setEnabled(false);
    IPInput = new QLineEdit;
    IPInput->setToolTip(QStringLiteral("Use DNS Lookup or input manualy"));
    ServiceInput = new QComboBox;
    for (const ServiceRow& row : services())
        ServiceInput->addItem(QString::fromLatin1(row.name));
    ServiceInput->setCurrentIndex(-1);
    ServiceInput->setToolTip(QStringLiteral("Note: TCP test is faster then Application layer."));
    PortInput = new QLineEdit;
    PortInput->setMaximumWidth(56);
    btnAdd = new QPushButton(QStringLiteral("&Add"));
    btnAdd->setToolTip(QStringLiteral("Add to list"));
    btnAdd->setEnabled(false);
    btnRemove = new QPushButton(QStringLiteral("&Remove"));
    btnRemove->setToolTip(QStringLiteral("Remove from list"));
    btnRemove->setEnabled(false);
    cbSort = new QComboBox;
    for (const char* choice : SortChoices)
        cbSort->addItem(QString::fromLatin1(choice));
    cbSort->setCurrentIndex(-1);

    grid->addWidget(labelFor(QStringLiteral("New &Host Name/description:"), HostInput), 0, 0, 1, 2);
    grid->addWidget(labelFor(QStringLiteral("New &IP Address:"), IPInput), 0, 2);
    grid->addWidget(labelFor(QStringLiteral("Service:"), ServiceInput), 0, 3);
    grid->addWidget(labelFor(QStringLiteral("Port:"), PortInput), 0, 4);
    grid->addWidget(cbSort, 0, 5, 1, 2, Qt::AlignRight);
    grid->addWidget(HostInput, 1, 0);
    grid->addWidget(btnDNS, 1, 1);
    grid->addWidget(IPInput, 1, 2);
    grid->addWidget(ServiceInput, 1, 3);
    grid->addWidget(PortInput, 1, 4);
    grid->addWidget(btnAdd, 1, 5);
    grid->addWidget(btnRemove, 1, 6);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(2, 2);

    connect(HostInput, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_row.host = desktop::toBytes(text);
        btnDNS->setEnabled(m_row.lookupEnabled());
        UpdateAddButton();
    });
    connect(IPInput, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_row.ip = desktop::toBytes(text);
        UpdateAddButton();
    });
    connect(PortInput, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_row.port = desktop::toBytes(text);
        UpdateAddButton();
    });
    connect(ServiceInput, &QComboBox::currentIndexChanged, this, &DestinationPane::onServiceChanged);
    connect(btnDNS, &QToolButton::clicked, this, &DestinationPane::btnDNSClick);
    connect(btnAdd, &QPushButton::clicked, this, &DestinationPane::btnAddClick);
    connect(btnRemove, &QPushButton::clicked, this, &DestinationPane::btnRemoveClick);
    connect(cbSort, &QComboBox::activated, this, &DestinationPane::ApplySort);
    for (QWidget* watched : { static_cast<QWidget*>(HostInput),
             static_cast<QWidget*>(IPInput),
             static_cast<QWidget*>(PortInput),
             static_cast<QWidget*>(ServiceInput) })
        watched->installEventFilter(this);
    return row;
}

void DestinationPane::buildList()
{
    model = new DestListModel(m_controller.list(), &m_controller.history(), this);
    DestList = new QTreeView;
    DestList->setModel(model);
    DestList->setRootIsDecorated(false);
    DestList->setItemsExpandable(false);
    DestList->setUniformRowHeights(true);
    DestList->setAllColumnsShowFocus(true);
    DestList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DestList->setSelectionBehavior(QAbstractItemView::SelectRows);
    DestList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DestList->setIconSize(QSize(16, 16));
    DestList->header()->setSectionsClickable(false);
    DestList->header()->setStretchLastSection(false);
    for (int column = 0; column < DestListModel::ColumnTotal; ++column)
        DestList->setColumnWidth(column, DestListModel::ColumnWidths[column]);
    DestList->viewport()->installEventFilter(this);
}

bool DestinationPane::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == HostInput) {
            btnDNSClick();
            IPInput->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (enter && (watched == IPInput || watched == PortInput)) {
            btnAddClick();
            return true;
        }
        if (watched == ServiceInput) {
            // A choice made with the keys of the closed box; the mouse and the open list do not count.
            m_serviceKeyPressed = true;
            QTimer::singleShot(0, this, [this] { m_serviceKeyPressed = false; });
        }
    } else if (event->type() == QEvent::FocusIn && watched == PortInput) {
        m_row.portFocused();
        if (PortInput->text() != desktop::toQString(m_row.port))
            PortInput->setText(desktop::toQString(m_row.port));
    } else if (event->type() == QEvent::MouseButtonRelease && watched == DestList->viewport()) {
        // After the view has applied the click to the selection.
        QTimer::singleShot(0, this, &DestinationPane::DestListClick);
    }
    return QGroupBox::eventFilter(watched, event);
}

void DestinationPane::onServiceChanged(int index)
{
    const bool keyboard = m_serviceKeyPressed && ServiceInput->hasFocus();
    m_row.service = index;
    const bool movePortFocus = m_row.chooseService(index, keyboard);
    {
        const QSignalBlocker quiet(PortInput);
        PortInput->setText(desktop::toQString(m_row.port));
    }
    UpdateAddButton();
    if (movePortFocus)
        PortInput->setFocus(Qt::TabFocusReason);
}

void DestinationPane::UpdateAddButton()
{
    btnAdd->setEnabled(m_row.addEnabled());
}

void DestinationPane::showInputRow()
{
    {
        const QSignalBlocker a(HostInput), b(IPInput), c(ServiceInput), d(PortInput);
        HostInput->setText(desktop::toQString(m_row.host));
        IPInput->setText(desktop::toQString(m_row.ip));
        ServiceInput->setCurrentIndex(m_row.service);
        PortInput->setText(desktop::toQString(m_row.port));
    }
    btnDNS->setEnabled(m_row.lookupEnabled());
    UpdateAddButton();
}

void DestinationPane::choosePing()
{
    ServiceInput->setCurrentIndex(static_cast<int>(indexOf(Service::Ping)));
}

void DestinationPane::btnAddClick()
{
    const auto row = m_row.destination(desktop::toBytes(ServiceInput->currentText()));
    if (!row)
        return;
    m_controller.list().append(*row);
    m_row.clearAfterAdd();
    showInputRow();
    HostInput->setFocus(Qt::OtherFocusReason);
}

std::vector<int> DestinationPane::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : DestList->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DestinationPane::btnRemoveClick()
{
    if (const auto last = m_controller.list().remove(selectedRows())) {
        m_row.show(*last);
        showInputRow();
    }
    btnRemove->setEnabled(false);
}

void DestinationPane::DestListClick()
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        btnRemove->setEnabled(false);
        m_row.reset();
    } else {
        m_row.show(m_controller.list().at(rows.front()));
        btnRemove->setEnabled(true);
    }
    showInputRow();
}

void DestinationPane::btnDNSClick()
{
    if (!m_row.lookupEnabled())
        return;
    IPInput->clear();
    try {
        m_controller.DnsLookup(m_row.host, [this](uint16_t error, const std::string& address) {
            if (error == 0)
                IPInput->setText(desktop::toQString(address));
            else
                m_asker.showMessage("Unknown Host: " + desktop::toBytes(HostInput->text()));
        });
    } catch (const std::exception& e) {
        m_asker.showMessage(e.what());
    }
}

void DestinationPane::ApplySort()
{
    m_controller.list().ApplySort(sortModeOf(cbSort->currentIndex()));
}

void DestinationPane::showSortMode()
{
    const QSignalBlocker quiet(cbSort);
    cbSort->setCurrentIndex(static_cast<int>(m_controller.list().sortMode()));
}

} // namespace monitor
