#pragma once

// The modal dialogs of the mirror window behind one seam, so window tests can answer them
// the way a user would without a modal loop of their own.

#include <QString>

class QWidget;

class MirrorDialogs
{
public:
    virtual ~MirrorDialogs() = default;
    // A message box with OK; texts break lines with a lone carriage return.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // OK and Cancel; true for OK.
    virtual bool askOkCancel(QWidget* parent, const QString& title, const QString& text) = 0;
    // A folder's full path, or an empty text when the user cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
    // A log file name, or an empty text when the user cancelled.
    virtual QString chooseLogFile(QWidget* parent, const QString& current) = 0;
};

// The desktop's own message boxes and file dialogs.
class QtMirrorDialogs final : public MirrorDialogs
{
public:
    void showMessage(QWidget* parent, const QString& text) override;
    bool askOkCancel(QWidget* parent, const QString& title, const QString& text) override;
    QString chooseFolder(QWidget* parent, const QString& title) override;
    QString chooseLogFile(QWidget* parent, const QString& current) override;
};
