#pragma once

// The modal dialogs of a program's windows behind one seam, so window tests can answer them
// the way a user would without a modal loop of their own. Texts break lines with a lone
// carriage return; an empty path means the user cancelled.

#include <QString>
#include <QStringList>

class QWidget;

namespace desktop {

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A message box with OK.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // OK and Cancel; true for OK.
    virtual bool askOkCancel(QWidget* parent, const QString& title, const QString& text) = 0;
    // Yes and No; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // An existing folder's full path.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
    // A file to read; `filter` as Qt file dialogs take it ("Data files (*.SEN)"), may be empty.
    virtual QString chooseOpenFile(QWidget* parent, const QString& title, const QString& current, const QString& filter)
        = 0;
    // A file to write; an existing one is confirmed by the dialog.
    virtual QString chooseSaveFile(QWidget* parent, const QString& title, const QString& current, const QString& filter)
        = 0;
    // A file that may exist or not, in a folder that exists, and nothing is confirmed: a log to
    // append to, a data file to open or to start.
    virtual QString chooseAnyFile(QWidget* parent, const QString& title, const QString& current, const QString& filter)
        = 0;
    // One of `items`, or an empty text when the user cancelled. Windows that never ask get
    // this refusal.
    virtual QString chooseItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items)
    {
        (void)parent, (void)title, (void)label, (void)items;
        return {};
    }
};

// The desktop's own message boxes and file dialogs.
class QtDialogs final : public Dialogs
{
public:
    void showMessage(QWidget* parent, const QString& text) override;
    bool askOkCancel(QWidget* parent, const QString& title, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text) override;
    QString chooseFolder(QWidget* parent, const QString& title) override;
    QString chooseOpenFile(
        QWidget* parent, const QString& title, const QString& current, const QString& filter) override;
    QString chooseSaveFile(
        QWidget* parent, const QString& title, const QString& current, const QString& filter) override;
    QString chooseAnyFile(
        QWidget* parent, const QString& title, const QString& current, const QString& filter) override;
    QString chooseItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items) override;
};

} // namespace desktop
