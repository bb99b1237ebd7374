#include "StatusPage.h"

#include "common/desktop/gui/QtText.h"
#include "mirror/core/RunProgress.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirror {

StatusPage::StatusPage(QWidget* parent)
    : QWidget(parent)
    , Summary(new QPlainTextEdit)
    , Activity(new QPlainTextEdit)
    , StatLine(new QLabel)
    , ProgressPair(new QLabel)
    , ProgressFolder(new QLabel)
    , ProgressCounts(new QLabel)
    , ProgressBar(new QProgressBar)
    , btnRestore(new QPushButton(QStringLiteral("Restore...")))
{
    auto* summaryBox = new QGroupBox(QStringLiteral("Summary:"));
    (new QVBoxLayout(summaryBox))->addWidget(Summary);
    auto* activityBox = new QGroupBox(QStringLiteral("Current Status:"));
    (new QVBoxLayout(activityBox))->addWidget(Activity);
    Activity->setReadOnly(true);
    Activity->setLineWrapMode(QPlainTextEdit::NoWrap);
    Activity->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Activity->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StatLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatLine->setTextFormat(Qt::PlainText);
    StatLine->setMinimumWidth(1); // a long path must not widen the window

    auto* panes = new QHBoxLayout;
    panes->addWidget(summaryBox, 1);
    panes->addWidget(activityBox, 2);
    for (QLabel* label : { ProgressPair, ProgressFolder, ProgressCounts }) {
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(1);
    }
    ProgressBar->setRange(0, 1000);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    btnRestore->setToolTip(QStringLiteral("Put back what a run of the selected pair moved into its DELETED folder"));
    auto* progress = new QHBoxLayout;
    progress->addWidget(ProgressCounts);
    progress->addWidget(ProgressBar, 1);
    progress->addWidget(btnRestore);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addWidget(ProgressPair);
    layout->addWidget(ProgressFolder);
    layout->addLayout(progress);
    layout->addWidget(StatLine);
}

void StatusPage::showProgress(const RunProgress& progress)
{
    if (progress.pairNumber > 0)
        ProgressPair->setText(QStringLiteral("Pair %1 of %2: ").arg(progress.pairNumber).arg(progress.pairCount)
            + desktop::toQString(progress.pair));
    ProgressFolder->setText(progress.finished ? QString() : desktop::toQString(progress.folder));
    ProgressCounts->setText(QString::number(progress.filesCopied) + QStringLiteral(" files, ")
        + desktop::toQString(progressText(progress)));
    ProgressBar->setValue(static_cast<int>(progress.share * 1000 + 0.5));
}

void StatusPage::setStatusLine(const std::string& text)
{
    StatLine->setText(desktop::toQString(text));
}

void StatusPage::setActivityText(const std::string& text)
{
    QString shown = desktop::toQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    Activity->setPlainText(shown);
}

void StatusPage::appendActivityLine(const std::string& line)
{
    Activity->appendPlainText(desktop::toQString(line));
}

void StatusPage::appendActivityText(const QString& lines)
{
    Activity->appendPlainText(lines);
}

void StatusPage::clearSummary()
{
    Summary->clear();
}

void StatusPage::appendSummaryLine(const std::string& line)
{
    Summary->appendPlainText(desktop::toQString(line));
}

std::string StatusPage::summaryText() const
{
    const QString text = Summary->toPlainText();
    if (text.isEmpty())
        return {};
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return desktop::toBytes(lines) + "\r\n";
}

} // namespace mirror
