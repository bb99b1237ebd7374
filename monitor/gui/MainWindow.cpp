#include "monitor/gui/MainWindow.h"

#include "common/desktop/IniFile.h"
#include "common/desktop/gui/Dialogs.h"
#include "common/desktop/gui/QtText.h"
#include "common/desktop/gui/ReadMeWindow.h"
#include "common/desktop/gui/TrayIcon.h"
#include "common/desktop/gui/TrayPictureSwitcher.h"
#include "monitor/gui/ActionsDialog.h"
#include "monitor/gui/DestinationPane.h"
#include "monitor/gui/MonitorReadMeText.h"
#include "monitor/gui/OptionsPane.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <exception>

namespace monitor {

namespace {

// Save dialogs of the desktop add no extension of their own.
QString withDefaultExtension(QString path, const QString& extension)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + extension;
    return path;
}

const QString DataFileFilter = QString::fromLatin1(MonitorController::DataFileFilter);

} // namespace

TForm1::TForm1(const std::string& programPath, const CommandLine& commandLine, desktop::Dialogs* dialogs)
    : m_ownDialogs(dialogs ? nullptr : std::make_unique<desktop::QtDialogs>())
    , m_dialogs(dialogs ? *dialogs : *m_ownDialogs)
    , m_commandLine(commandLine)
    , m_controller(programPath, FrontEnd::of(*this))
{
    setWindowTitle(QString::fromLatin1(DesignCaption));
    const WindowPlacement& design = m_controller.settings().window;
    move(design.left, design.top);
    resize(design.width, design.height);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(4);
    destinationPane = new DestinationPane(m_controller, *this);
    layout->addWidget(destinationPane, 1);
    auto* bottom = new QHBoxLayout;
    optionsPane = new OptionsPane(m_controller, m_dialogs);
    bottom->addWidget(optionsPane);
    bottom->addWidget(buildActivityPane(), 1);
    layout->addLayout(bottom);
    setCentralWidget(central);
    buildMenus();

    btnMinimizeToTray = new QToolButton(this);
    btnMinimizeToTray->setAutoRaise(true);
    btnMinimizeToTray->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
    btnMinimizeToTray->setFixedSize(22, 22);
    btnMinimizeToTray->setToolTip(QStringLiteral("Minimize to Tray"));
    btnMinimizeToTray->raise();
    connect(btnMinimizeToTray, &QToolButton::clicked, this, &TForm1::MinimizeToTray);

    m_tray = std::make_unique<desktop::TrayPictureSwitcher>(this, QStringLiteral("SEN"), QStringLiteral("SEN"));
    TrayIcon = m_tray->icon();
    // A click on the icon takes back the attention picture.
    TrayIcon->OnClick = [this](desktop::TTrayIcon&) { m_controller.tray().SetTrayPicture(0); };
    // Esc presses "Abort" while it is enabled.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (optionsPane->BtnAbort->isEnabled())
            optionsPane->BtnAbort->click();
    });
    connect(destinationPane->DestList, &QTreeView::doubleClicked, this, &TForm1::TestSelectedClick);

    m_controller.log().setView(optionsPane);
    m_controller.start(m_commandLine);
    destinationPane->choosePing();

    actionsDialog = new TForm2(m_controller, this);
    connect(optionsPane->btnConfigure, &QPushButton::clicked, this, &TForm1::ConfigureClick);

    ReadMe = new desktop::TReadMe(monitorReadMeOptions());
    connect(optionsPane->btnReadMe, &QPushButton::clicked, this, &TForm1::btnReadMeClick);
}

TForm1::~TForm1()
{
    // The panes show and call into the controller: they go first, while it is whole.
    m_controller.dropDnsLookup();
    if (m_busyPointer)
        QApplication::restoreOverrideCursor();
    m_controller.log().setView(nullptr);
    delete actionsDialog;
    delete ReadMe;
    delete takeCentralWidget();
}

QWidget* TForm1::buildActivityPane()
{
    auto* group = new QGroupBox(QStringLiteral("Current Activity:"));
    // As tall as the options beside it; the list above takes the rest.
    group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(4, 2, 4, 4);
    Activity = new QPlainTextEdit;
    Activity->setReadOnly(true);
    Activity->setLineWrapMode(QPlainTextEdit::NoWrap);
    Activity->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Activity->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(Activity);
    return group;
}

void TForm1::buildMenus()
{
    FileMenu = menuBar()->addMenu(QStringLiteral("File"));
    actOpen = FileMenu->addAction(QStringLiteral("Open SEN file..."), this, &TForm1::OpenClick);
    actSaveAs = FileMenu->addAction(QStringLiteral("Save as SEN file..."), this, &TForm1::SaveAsClick);
    actNew = FileMenu->addAction(QStringLiteral("New SEN file..."), this, &TForm1::NewClick);
    FileMenu->addSeparator();
    actSaveOnExit = FileMenu->addAction(QStringLiteral("Save Settings on Exit"));
    actSaveOnExit->setCheckable(true);
    actSaveOnExit->setChecked(true);
    connect(actSaveOnExit, &QAction::triggered, this, &TForm1::SaveOnExitClick);
    actSaveNow = FileMenu->addAction(QStringLiteral("Save Settings Now"), this, &TForm1::SaveNowClick);
    FileMenu->addSeparator();
    actQuit = FileMenu->addAction(QStringLiteral("Quit"), this, &QWidget::close);

    OptionsMenu = menuBar()->addMenu(QStringLiteral("Options"));
    actConfigure = OptionsMenu->addAction(QStringLiteral("Configure Alert Actions..."), this, &TForm1::ConfigureClick);
    actAdvanced = OptionsMenu->addAction(QStringLiteral("Advanced SEN/INI editing"), this, &TForm1::AdvancedClick);

    ListMenu = menuBar()->addMenu(QStringLiteral("List"));
    actAddToList = ListMenu->addAction(QStringLiteral("Add to list"), destinationPane, &DestinationPane::btnAddClick);
    actRemoveFromList
        = ListMenu->addAction(QStringLiteral("Remove from list"), destinationPane, &DestinationPane::btnRemoveClick);
    ListMenu->addSeparator();
    actExport = ListMenu->addAction(QStringLiteral("Export to Text"), this, &TForm1::ExportClick);
    connect(ListMenu, &QMenu::aboutToShow, this, [this] {
        actAddToList->setEnabled(destinationPane->canAdd());
        actRemoveFromList->setEnabled(!destinationPane->selectedRows().empty());
    });

    TestMenu = menuBar()->addMenu(QStringLiteral("Test"));
    actTestSelected = TestMenu->addAction(QStringLiteral("Test &Selected"), this, &TForm1::TestSelectedClick);
    actTestAll = TestMenu->addAction(
        QStringLiteral("Test &All"), this, [this] { m_controller.engine().TestAllDestinations(); });
    connect(TestMenu, &QMenu::aboutToShow, this, [this] {
        actTestSelected->setEnabled(!destinationPane->selectedRows().empty());
    });

    HelpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    actReadMe = HelpMenu->addAction(QStringLiteral("ReadMe"), this, &TForm1::btnReadMeClick);
    HelpMenu->addSeparator();
    // The desktop opens the file and the address; nothing waits for the programs it starts.
    actDocumentation
        = HelpMenu->addAction(QStringLiteral("SEN Documentation"), this, [this] { m_controller.openReadMeFile(); });
    if (*MaintainerMail)
        actMail = HelpMenu->addAction(QStringLiteral("Mail to the SEN Maintainers"), this, [this] {
            m_controller.openAddress(std::string("mailto:") + MaintainerMail + "?subject=SEN");
        });
}

void TForm1::btnReadMeClick()
{
    ReadMe->showReadMe();
}

void TForm1::guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        showMessage(e.what());
    }
}

QString TForm1::dataFileFolder() const
{
    return QFileInfo(desktop::toQString(m_controller.dataFile())).absolutePath();
}

// File menu

void TForm1::OpenClick()
{
    const QString title = QStringLiteral("Open SEN file");
    const QString path
        = m_dialogs.chooseAnyFile(this, title, desktop::toQString(m_controller.dataFile()), DataFileFilter);
    if (path.isEmpty())
        return;
    // A new name starts a data file of that name: the next save creates it.
    if (!QFileInfo::exists(path)
        && !m_dialogs.askYesNo(this, title, path + QStringLiteral("\rThis file does not exist.\rCreate it?")))
        return;
    guarded([&] { m_controller.openDataFile(desktop::toBytes(path)); });
}

void TForm1::SaveAsClick()
{
    const QString path = withDefaultExtension(
        m_dialogs.chooseSaveFile(
            this, QStringLiteral("Save as SEN file"), desktop::toQString(m_controller.dataFile()), DataFileFilter),
        QStringLiteral("SEN"));
    if (!path.isEmpty())
        guarded([&] { m_controller.saveDataFileAs(desktop::toBytes(path)); });
}

void TForm1::NewClick()
{
    const QString path = withDefaultExtension(
        m_dialogs.chooseSaveFile(this, QStringLiteral("New SEN file"), dataFileFolder(), DataFileFilter),
        QStringLiteral("SEN"));
    if (!path.isEmpty())
        guarded([&] { m_controller.newDataFile(desktop::toBytes(path)); });
}

void TForm1::SaveNowClick()
{
    guarded([&] { m_controller.save(); });
}

void TForm1::SaveOnExitClick()
{
    m_controller.toggleSaveOnExit();
    actSaveOnExit->setChecked(m_controller.settings().saveOnExit);
}

void TForm1::AdvancedClick()
{
    guarded([&] { m_controller.advancedEditing(); });
}

void TForm1::ExportClick()
{
    const QString path = withDefaultExtension(m_dialogs.chooseSaveFile(this,
                                                  QStringLiteral("Export to Text"),
                                                  dataFileFolder() + QStringLiteral("/EXPORT.TXT"),
                                                  QStringLiteral("Text files (*.TXT);;All Files (*)")),
        QStringLiteral("TXT"));
    if (!path.isEmpty())
        m_controller.exportToText(desktop::toBytes(path));
}

void TForm1::ConfigureClick()
{
    m_controller.alerts().Configure([this] { actionsDialog->showModal(); });
}

// Tray

void TForm1::MinimizeToTray()
{
    m_tray->minimizeToTray();
}

void TForm1::RestoreFromTray()
{
    m_tray->restoreWindow();
}

void TForm1::setTrayState(core::TrayState state, const std::string& tip)
{
    m_tray->show(state, tip);
}

void TForm1::setBusy(bool busy)
{
    optionsPane->btnTestNow->setEnabled(!busy);
    optionsPane->BtnAbort->setEnabled(busy);
}

// Tests

void TForm1::TestSelectedClick()
{
    const std::vector<int> rows = destinationPane->selectedRows();
    if (!rows.empty())
        m_controller.engine().TestDestination(rows.front());
}

void TForm1::showTimerHint(const std::string& hint)
{
    optionsPane->ComboTimer->setToolTip(desktop::toQString(hint));
}

void TForm1::showTesting(bool testing)
{
    if (testing == m_busyPointer)
        return;
    m_busyPointer = testing;
    // The busy-in-background pointer: an arrow with a small hourglass.
    if (testing)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool TForm1::isForeground() const
{
    return QApplication::applicationState() == Qt::ApplicationActive;
}

// Activity pane and dialogs

void TForm1::appendActivityLine(const std::string& line)
{
    Activity->appendPlainText(desktop::toQString(line));
}

void TForm1::setActivityText(const std::string& text)
{
    QString shown = desktop::toQString(text);
    shown.remove(QLatin1Char('\r'));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    Activity->setPlainText(shown);
}

void TForm1::showMessage(const std::string& text)
{
    m_dialogs.showMessage(this, desktop::toQString(text));
}

bool TForm1::askOkCancel(const std::string& title, const std::string& text)
{
    return m_dialogs.askOkCancel(this, desktop::toQString(title), desktop::toQString(text));
}

bool TForm1::askYesNo(const std::string& title, const std::string& text)
{
    return m_dialogs.askYesNo(this, desktop::toQString(title), desktop::toQString(text));
}

// Settings

void TForm1::showDataFile(const std::string& path)
{
    // The caption exactly: a desktop appends an application display name to every caption, so
    // the task-bar text goes into the icon text, the title a desktop shows for a minimised window.
    setWindowTitle(QStringLiteral("Senvigil - ") + desktop::toQString(path));
    setWindowIconText(QStringLiteral("SEN - ") + desktop::toQString(m_controller.dataFileName()));
}

void TForm1::showSettings()
{
    const WindowPlacement placement = m_controller.settings().window;
    m_placing = true;
    if (placement.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        move(placement.left, placement.top);
        resize(placement.width, placement.height);
    }
    m_placing = false;
    optionsPane->showTimerSettings();
    destinationPane->showSortMode();
    actSaveOnExit->setChecked(m_controller.settings().saveOnExit);
}

void TForm1::storePlacement()
{
    if (m_placing)
        return;
    WindowPlacement& placement = m_controller.settings().window;
    placement.maximized = isMaximized();
    if (placement.maximized || isMinimized() || isFullScreen())
        return;
    placement.left = x();
    placement.top = y();
    placement.width = width();
    placement.height = height();
}

// Life cycle

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    btnMinimizeToTray->move(width() - btnMinimizeToTray->width() - 2, 1);
    storePlacement();
}

void TForm1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    storePlacement();
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        storePlacement();
}

bool TForm1::event(QEvent* event)
{
    // "/TRAY": the first activation hides the window; later ones do nothing special.
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && m_firstActivation) {
        m_firstActivation = false;
        if (m_commandLine.tray)
            QTimer::singleShot(0, this, &TForm1::MinimizeToTray);
    }
    return QMainWindow::event(event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_controller.deferCloseForMail([this] { close(); })) {
        event->ignore();
        return;
    }
    try {
        m_controller.prepareClose([this] {
            return askYesNo("Save Settings on Exit",
                m_controller.changedDataFileText() + "\r\rDo you want SEN to overwrite it with its settings?");
        });
    } catch (const std::exception& e) {
        showMessage(e.what());
        event->ignore();
        return;
    }
    m_closed = true;
    ReadMe->hide();
    TrayIcon->RemoveFromTray();
    event->accept();
}

} // namespace monitor
