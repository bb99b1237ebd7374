#include "MainWindow.h"

#include "common/desktop/gui/Dialogs.h"
#include "common/desktop/gui/QtText.h"
#include "common/desktop/gui/ReadMeWindow.h"
#include "common/desktop/gui/TrayIcon.h"
#include "common/desktop/gui/TrayPictureSwitcher.h"
#include "mirror/core/ArchiveRestore.h"
#include "mirror/gui/MirrorReadMeText.h"
#include "mirror/gui/SettingsPage.h"
#include "mirror/gui/StatusPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <exception>

namespace mirror {

TForm1::TForm1(const std::string& programPath, CommandLine commandLine, desktop::Dialogs* dialogs)
    : m_ownDialogs(dialogs ? nullptr : std::make_unique<desktop::QtDialogs>())
    , m_dialogs(dialogs ? *dialogs : *m_ownDialogs)
    , m_commandLine(std::move(commandLine))
    , m_controller(programPath, FrontEnd::of(*this))
{
    setWindowTitle(QString::fromLatin1(Caption));
    resize(640, 480);
    settingsPage = new SettingsPage(m_controller.settings(), m_dialogs);
    statusPage = new StatusPage;
    pages = new QTabWidget;
    // The settings need more room than the window's 640 by 480 start size gives on every desktop.
    auto* settingsScroll = new QScrollArea;
    settingsScroll->setWidget(settingsPage);
    settingsScroll->setWidgetResizable(true);
    settingsScroll->setFrameShape(QFrame::NoFrame);
    pages->addTab(settingsScroll, QStringLiteral("Settings"));
    pages->addTab(statusPage, QStringLiteral("Status"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->setSpacing(2);
    layout->addWidget(pages, 1);
    layout->addWidget(buildButtonRow());

    btnMinimizeToTray = new QToolButton(this);
    btnMinimizeToTray->setAutoRaise(true);
    btnMinimizeToTray->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
    btnMinimizeToTray->setFixedSize(22, 22);
    btnMinimizeToTray->raise();
    btnMinimizeToTray->setToolTip(QStringLiteral("Minimize to Tray"));
    btnMinimizeToTray->setToolTipDuration(5000);
    connect(btnMinimizeToTray, &QToolButton::clicked, this, &TForm1::MinimizeToTray);

    // Escape presses Stop while a run is busy, Close otherwise; F1 shows the read-me.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (btnStop->isEnabled())
            btnStop->click();
        else
            btnClose->click();
    });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &TForm1::btnReadMeClick);
    connect(settingsPage, &SettingsPage::autoPilotChanged, this, &TForm1::armAutoPilot);
    connect(statusPage->btnRestore, &QPushButton::clicked, this, &TForm1::btnRestoreClick);

    m_controller.setErrorHandler([this](const std::string& text) { showError(desktop::toQString(text)); });
    m_controller.load();
    settingsPage->showSettings(desktop::toQString(m_controller.settingsPath()));
    pages->setCurrentIndex(m_controller.settings().activePageStatus ? 1 : 0);
    connect(pages, &QTabWidget::currentChanged, this, [this](int page) {
        m_controller.settings().activePageStatus = page == 1;
    });
    armAutoPilot();
    m_controller.settings().delOption = settingsPage->rbDel->isChecked();
    m_tray = std::make_unique<desktop::TrayPictureSwitcher>(this, QStringLiteral("RP"), QStringLiteral("RP"));
    TrayIcon = m_tray->icon();
    setTrayState(core::TrayState::Normal, "RP");

    ReadMe = new desktop::TReadMe(mirrorReadMeOptions());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_sincePump.start();
}

TForm1::~TForm1()
{
    delete ReadMe;
}

QWidget* TForm1::buildButtonRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 2, 4, 2);
    btnStart = new QPushButton(QStringLiteral("&Start"));
    btnStop = new QPushButton(QStringLiteral("Stop"));
    btnReadMe = new QPushButton(QStringLiteral("&ReadMe"));
    btnClose = new QPushButton(QStringLiteral("&Close"));
    btnStop->setEnabled(false);
    layout->addWidget(btnStart);
    layout->addWidget(btnStop);
    layout->addStretch();
    layout->addWidget(btnReadMe);
    layout->addWidget(btnClose);
    connect(btnStart, &QPushButton::clicked, this, &TForm1::btnStartClick);
    connect(btnStop, &QPushButton::clicked, this, &TForm1::btnStopClick);
    connect(btnReadMe, &QPushButton::clicked, this, &TForm1::btnReadMeClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    return row;
}

void TForm1::setTrayState(core::TrayState state, const std::string& tip)
{
    m_tray->show(state, tip);
}

void TForm1::armAutoPilot()
{
    settingsPage->cbTimer->setEnabled(settingsPage->chkAutoPilot->isChecked());
    settingsPage->cbTimer->setToolTip(desktop::toQString(m_controller.ArmAutoPilot()));
}

bool TForm1::isBusy() const
{
    return !btnStart->isEnabled();
}

void TForm1::btnStartClick()
{
    try {
        m_controller.RunMirror();
    } catch (const std::exception& e) {
        showError(desktop::toQString(e.what()));
    }
}

void TForm1::btnStopClick()
{
    m_controller.engine().Stop();
}

void TForm1::btnRestoreClick()
{
    const int selected = m_controller.settings().folders.selected();
    const auto paths = selected >= 0 && selected < m_controller.settings().folders.count()
        ? m_controller.settings().folders.at(selected).split()
        : std::nullopt;
    if (!paths) {
        showError(QStringLiteral("Select a folder pair on the Settings page first."));
        return;
    }
    const std::string& destination = paths->second;
    int error = 0;
    const auto runs = ArchiveRestore::listRuns(destination, error);
    if (runs.empty()) {
        showError(QStringLiteral("Nothing to restore in ") + desktop::toQString(destination + "/DELETED")
            + (error && error != ENOENT ? QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)) : QString()));
        return;
    }
    QStringList items;
    for (const auto& run : runs)
        items << desktop::toQString(ArchiveRestore::runLine(run));
    const QString chosen = m_dialogs.chooseItem(
        this, QStringLiteral("Restore"), QStringLiteral("Archived runs of ") + desktop::toQString(destination) + ":", items);
    if (chosen.isEmpty())
        return;
    pages->setCurrentIndex(1);
    try {
        const int failed = m_controller.restore(destination, desktop::toBytes(chosen.section(QLatin1Char(' '), 0, 0)));
        showPendingStatus();
        if (failed)
            showError(QString::number(failed) + QStringLiteral(" items could not be restored; the log lists them."));
    } catch (const std::exception& e) {
        showError(desktop::toQString(e.what()));
    }
}

void TForm1::btnReadMeClick()
{
    ReadMe->showReadMe();
}

void TForm1::MinimizeToTray()
{
    m_tray->minimizeToTray();
}

void TForm1::RestoreFromTray()
{
    m_tray->restoreWindow();
}

void TForm1::showError(const QString& text)
{
    m_dialogs.showMessage(this, text);
}

// Front-end roles

// The status line changes for every file; the label takes the newest text when the window
// next serves its events, which is also the only moment it could be painted.
void TForm1::setStatusLine(const std::string& text)
{
    m_pendingStatus = text;
    m_statusPending = true;
}

void TForm1::showPendingStatus()
{
    if (!m_pendingActivity.isEmpty()) {
        statusPage->appendActivityText(m_pendingActivity.join(QLatin1Char('\n')));
        m_pendingActivity.clear();
    }
    if (!m_statusPending)
        return;
    m_statusPending = false;
    statusPage->setStatusLine(m_pendingStatus);
}

void TForm1::setActivityText(const std::string& text)
{
    m_pendingActivity.clear(); // the whole text holds them
    statusPage->setActivityText(text);
}

void TForm1::appendActivityLine(const std::string& line)
{
    m_pendingActivity << desktop::toQString(line);
}

void TForm1::clearSummary()
{
    statusPage->clearSummary();
}
void TForm1::appendSummaryLine(const std::string& line)
{
    statusPage->appendSummaryLine(line);
}
std::string TForm1::summaryText() const
{
    return statusPage->summaryText();
}

// The window serves its events after status lines, at most every 15 ms: fast enough for every
// click and repaint, without a round through the event loop for each file.
void TForm1::processEvents()
{
    if (m_sincePump.elapsed() < m_pumpIntervalMs)
        return;
    showPendingStatus();
    QApplication::processEvents();
    m_sincePump.restart();
}

void TForm1::setBusy(bool busy)
{
    showPendingStatus();
    if (busy && !isBusy())
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && isBusy())
        QApplication::restoreOverrideCursor();
    btnStart->setEnabled(!busy);
    btnStop->setEnabled(busy);
    statusPage->btnRestore->setEnabled(!busy);
    if (busy)
        armAutoPilot();
}

void TForm1::showPairPaths(const std::string& source, const std::string& destination)
{
    settingsPage->Edit1->setText(desktop::toQString(source));
    settingsPage->Edit2->setText(desktop::toQString(destination));
}

void TForm1::showProgress(const RunProgress& progress)
{
    statusPage->showProgress(progress);
}

void TForm1::showMessage(const std::string& text)
{
    showPendingStatus();
    m_dialogs.showMessage(this, desktop::toQString(text));
}

bool TForm1::askOkCancel(const std::string& title, const std::string& text)
{
    showPendingStatus();
    return m_dialogs.askOkCancel(this, desktop::toQString(title), desktop::toQString(text));
}

bool TForm1::askYesNo(const std::string& title, const std::string& text)
{
    showPendingStatus();
    return m_dialogs.askYesNo(this, desktop::toQString(title), desktop::toQString(text));
}

// Life cycle

bool TForm1::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_firstActivation)
        QTimer::singleShot(0, this, &TForm1::FormActivate);
    return QWidget::event(event);
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Some platforms never activate a window; the first show counts as its activation then.
    if (m_firstActivation)
        QTimer::singleShot(0, this, &TForm1::FormActivate);
}

void TForm1::FormActivate()
{
    if (!m_firstActivation)
        return;
    m_firstActivation = false;
    if (m_commandLine.tray)
        QTimer::singleShot(0, this, &TForm1::MinimizeToTray);
    if (m_commandLine.batch) {
        m_controller.setBatchMode(true);
        armAutoPilot(); // the timer never runs in batch mode
        runBatch();
    }
}

void TForm1::runBatch()
{
    const QString commandLine = desktop::toQString(m_commandLine.text);
    // The task-bar text goes into the icon text: a desktop appends the application's display
    // name to every caption.
    setWindowIconText(commandLine);
    setWindowTitle(QStringLiteral("RP Batch mode: ") + commandLine);
    btnStartClick();
    emit batchFinished();
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (isBusy() && !m_controller.batchMode()) {
        m_controller.engine().cancel();
        setBusy(false);
    }
    try {
        m_controller.prepareClose();
    } catch (const std::exception& e) {
        showError(desktop::toQString(e.what()));
        event->ignore();
        return;
    }
    ReadMe->hide();
    TrayIcon->RemoveFromTray();
    event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    btnMinimizeToTray->move(width() - 44, 2);
}

} // namespace mirror
