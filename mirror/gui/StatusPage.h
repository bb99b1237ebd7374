#pragma once

// The "Status" page: the editable summary, the read-only activity pane, the progress row
// (pair, folder, files and bytes copied, a bar of the share done, and "Restore...") and the
// status line.

#include <QWidget>

#include <string>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace mirror {

struct RunProgress;

class StatusPage : public QWidget
{
    Q_OBJECT
public:
    explicit StatusPage(QWidget* parent = nullptr);

    void setStatusLine(const std::string& text);
    void setActivityText(const std::string& text);
    void appendActivityLine(const std::string& line);
    // Several lines at once, joined by "\n": one layout pass instead of one per line.
    void appendActivityText(const QString& lines);
    void clearSummary();
    void appendSummaryLine(const std::string& line);
    // Lines joined and ended by CR LF, as the log file and the mail body take them.
    std::string summaryText() const;
    void showProgress(const RunProgress& progress);

    QPlainTextEdit* Summary;
    QPlainTextEdit* Activity;
    QLabel* StatLine;
    QLabel* ProgressPair;
    QLabel* ProgressFolder;
    QLabel* ProgressCounts;
    QProgressBar* ProgressBar;
    QPushButton* btnRestore;
};

} // namespace mirror
