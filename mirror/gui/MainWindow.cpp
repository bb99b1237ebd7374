#include "MainWindow.h"

#include "common/desktop/IniFile.h"
#include "common/desktop/gui/ReadMeWindow.h"
#include "common/desktop/gui/TrayIcon.h"
#include "common/desktop/gui/TrayPictures.h"
#include "mirror/gui/MirrorDialogs.h"
#include "mirror/gui/MirrorReadMeText.h"
#include "mirror/gui/SettingsPage.h"
#include "mirror/gui/StatusPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace {

QString fromBytes(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<std::string> argumentsAfterProgram(const QStringList& arguments)
{
    std::vector<std::string> words;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        words.push_back(arguments[i].toLocal8Bit().toStdString());
    return words;
}

} // namespace

TForm1::TForm1(const std::string& programPath, const QStringList& arguments, MirrorDialogs* dialogs)
    : m_ownDialogs(dialogs ? nullptr : std::make_unique<QtMirrorDialogs>())
    , m_dialogs(dialogs ? *dialogs : *m_ownDialogs)
    , m_controller(programPath, *this)
    , m_arguments(arguments)
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

    m_controller.setErrorHandler([this](const std::string& text) { showError(fromBytes(text)); });
    m_controller.load();
    settingsPage->showSettings(fromBytes(m_controller.settingsPath()));
    pages->setCurrentIndex(m_controller.settings().activePageStatus ? 1 : 0);
    connect(pages, &QTabWidget::currentChanged, this, [this](int page) {
        m_controller.settings().activePageStatus = page == 1;
    });
    armAutoPilot();
    m_controller.settings().delOption = settingsPage->rbDel->isChecked();
    buildTray();
    SetTrayState(0, "RP");

    ReadMe = new TReadMe(mirrorReadMeOptions());
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

void TForm1::buildTray()
{
    const auto pictures = makeTrayPictures(QStringLiteral("RP"));
    m_trayPictures[0] = pictures[0];
    m_trayPictures[1] = pictures[1];
    TrayIcon = new TTrayIcon(this);
    m_trayMenu = new QMenu(this);
    QAction* restore = m_trayMenu->addAction(QStringLiteral("RP"), this, &TForm1::RestoreFromTray);
    QFont bold = restore->font();
    bold.setBold(true);
    restore->setFont(bold);
    m_trayMenu->setDefaultAction(restore);
    m_trayMenu->addAction(QStringLiteral("Close"), this, [this] {
        RestoreFromTray();
        close();
    });
    TrayIcon->setPopupMenu(m_trayMenu);
    TrayIcon->OnDblClick = [this](TTrayIcon&) { RestoreFromTray(); };
}

void TForm1::SetTrayState(int picture, const std::string& tip)
{
    if (picture < 0 || picture > 1)
        return;
    TrayIcon->setTip(tip);
    TrayIcon->setIcon(m_trayPictures[picture]);
    TrayIcon->RemoveFromTray();
    TrayIcon->AddToTray();
}

void TForm1::armAutoPilot()
{
    settingsPage->cbTimer->setEnabled(settingsPage->chkAutoPilot->isChecked());
    settingsPage->cbTimer->setToolTip(fromBytes(m_controller.ArmAutoPilot()));
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
        showError(fromBytes(e.what()));
    }
}

void TForm1::btnStopClick()
{
    m_controller.engine().Stop();
}

void TForm1::btnReadMeClick()
{
    ReadMe->showReadMe();
}

// Without a tray in the desktop the window is minimised instead, so it stays reachable.
void TForm1::MinimizeToTray()
{
    if (TTrayIcon::available() && TrayIcon->isInTray())
        hide();
    else
        showMinimized();
}

void TForm1::RestoreFromTray()
{
    showNormal();
    raise();
    activateWindow();
}

void TForm1::showError(const QString& text)
{
    m_dialogs.showMessage(this, text);
}

// MirrorFrontEnd

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
    m_pendingActivity << fromBytes(line);
}

void TForm1::clearSummary() { statusPage->clearSummary(); }
void TForm1::appendSummaryLine(const std::string& line) { statusPage->appendSummaryLine(line); }
std::string TForm1::summaryText() const { return statusPage->summaryText(); }

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
    if (busy)
        armAutoPilot();
}

void TForm1::showPairPaths(const std::string& source, const std::string& destination)
{
    settingsPage->Edit1->setText(fromBytes(source));
    settingsPage->Edit2->setText(fromBytes(destination));
}

void TForm1::showMessage(const std::string& text)
{
    showPendingStatus();
    m_dialogs.showMessage(this, fromBytes(text));
}

bool TForm1::askOkCancel(const std::string& title, const std::string& text)
{
    showPendingStatus();
    return m_dialogs.askOkCancel(this, fromBytes(title), fromBytes(text));
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
    const auto line = MirrorController::parseArguments(argumentsAfterProgram(m_arguments));
    if (line.tray)
        QTimer::singleShot(0, this, &TForm1::MinimizeToTray);
    if (line.batch) {
        m_controller.setBatchMode(true);
        armAutoPilot(); // the timer never runs in batch mode
        runBatch();
    }
}

void TForm1::runBatch()
{
    const QString commandLine = m_arguments.join(QLatin1Char(' '));
    QApplication::setApplicationDisplayName(commandLine);
    setWindowTitle(QStringLiteral("RP Batch mode: ") + commandLine);
    btnStartClick();
    m_batchDone = true;
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
        showError(fromBytes(e.what()));
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
