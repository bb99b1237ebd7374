#include "monitor/gui/OptionsPane.h"

#include "common/desktop/gui/Dialogs.h"
#include "common/desktop/gui/QtText.h"
#include "monitor/core/MonitorController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

namespace monitor {

namespace {

// The viewers of the log; the desktop has no Notepad, Edit or Explorer, so their equivalents.
constexpr std::pair<const char*, LogViewer> Viewers[] = {
    { "Open LOG with the default program", LogViewer::DefaultProgram },
    { "Open LOG with your editor", LogViewer::Editor },
    { "Open LOG with a terminal editor", LogViewer::TerminalEditor },
    { "Open LOG folder in the file manager", LogViewer::FileManager },
};

} // namespace

OptionsPane::OptionsPane(MonitorController& controller, desktop::Dialogs& dialogs, QWidget* parent)
    : QGroupBox(QStringLiteral("Options/Actions:"), parent)
    , m_controller(controller)
    , m_dialogs(dialogs)
{
    cbTimer = new QCheckBox(QStringLiteral("Enable AutoPing &Timer (Minutes)"));
    ComboTimer = new QComboBox;
    ComboTimer->setEditable(true);
    ComboTimer->addItems({ "15", "30", "60", "120" });
    ComboTimer->setCurrentText(QStringLiteral("15"));
    ComboTimer->setMaximumWidth(70);
    btnTestNow = new QPushButton(QStringLiteral("Test &All Now"));
    BtnAbort = new QPushButton(QStringLiteral("&Abort"));
    BtnAbort->setEnabled(false);
    cbLogFile = new QCheckBox(QString::fromLatin1(LogCaption));
    btnOpenLog = new QPushButton(QStringLiteral("Open LOG"));
    LogFileName = new QLineEdit;
    btnBrowse = new QToolButton;
    btnBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnBrowse->setToolTip(QStringLiteral("Browse for LOG file..."));
    btnConfigure = new QPushButton(QStringLiteral("&Configure Alert Actions..."));
    btnReadMe = new QPushButton(QStringLiteral("Read&Me"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setVerticalSpacing(3);
    grid->addWidget(cbTimer, 0, 0, 1, 2);
    grid->addWidget(ComboTimer, 0, 2);
    grid->addWidget(btnTestNow, 1, 0);
    grid->addWidget(BtnAbort, 1, 1, 1, 2);
    grid->addWidget(cbLogFile, 2, 0, 1, 2);
    grid->addWidget(btnOpenLog, 2, 2);
    grid->addWidget(LogFileName, 3, 0, 1, 2);
    grid->addWidget(btnBrowse, 3, 2);
    grid->addWidget(btnConfigure, 4, 0, 1, 2);
    grid->addWidget(btnReadMe, 4, 2);

    OpenLogMenu = new QMenu(this);
    for (const auto& [caption, viewer] : Viewers) {
        const LogViewer chosen = viewer;
        OpenLogMenu->addAction(QString::fromLatin1(caption), this, [this, chosen] { m_controller.openLog(chosen); });
    }

    connect(cbTimer, &QCheckBox::clicked, this, [this](bool on) {
        m_controller.settings().enableTimer = on;
        m_controller.engine().SetupTestTimer();
    });
    connect(ComboTimer, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        m_controller.settings().timerInterval = desktop::toBytes(text);
        m_controller.engine().SetupTestTimer();
    });
    connect(btnTestNow, &QPushButton::clicked, this, [this] { m_controller.engine().TestAllDestinations(); });
    connect(BtnAbort, &QPushButton::clicked, this, [this] { m_controller.engine().Abort(); });
    connect(cbLogFile, &QCheckBox::clicked, this, [this](bool on) { m_controller.log().setEnabled(on); });
    connect(LogFileName, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.log().pathTextEdited(desktop::toBytes(text));
    });
    connect(btnOpenLog, &QPushButton::clicked, this, &OptionsPane::btnOpenLogClick);
    connect(btnBrowse, &QToolButton::clicked, this, &OptionsPane::btnBrowseClick);
}

void OptionsPane::showTimerSettings()
{
    const QSignalBlocker a(cbTimer), b(ComboTimer);
    cbTimer->setChecked(m_controller.settings().enableTimer);
    ComboTimer->setCurrentText(desktop::toQString(m_controller.settings().timerInterval));
}

void OptionsPane::showLogPathText(const std::string& text)
{
    const QSignalBlocker quiet(LogFileName);
    LogFileName->setText(desktop::toQString(text));
}

void OptionsPane::showLogEnabled(bool enabled)
{
    const QSignalBlocker quiet(cbLogFile);
    cbLogFile->setChecked(enabled);
}

void OptionsPane::btnOpenLogClick()
{
    if (!m_controller.prepareOpenLog())
        return;
    OpenLogMenu->popup(btnOpenLog->mapToGlobal(btnOpenLog->rect().topLeft()));
}

void OptionsPane::btnBrowseClick()
{
    // Lines are appended to the log: an existing file is never overwritten, so nothing is asked.
    QString chosen = m_dialogs.chooseAnyFile(this,
        QStringLiteral("Browse for LOG file"),
        desktop::toQString(m_controller.log().logFileName()),
        QStringLiteral("*.LOG (*.LOG);;*.* (*)"));
    if (chosen.isEmpty())
        return;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".LOG");
    m_controller.log().SetLogFileName(desktop::toBytes(chosen));
}

} // namespace monitor
