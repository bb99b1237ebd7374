#pragma once

// Answers the monitor window's dialogs as a test scripts them: one answer per dialog title,
// and a record of every message and question.

#include "common/desktop/gui/Dialogs.h"

#include <QMap>
#include <QStringList>

class ScriptedDialogs final : public desktop::Dialogs
{
public:
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    bool askOkCancel(QWidget*, const QString& title, const QString& text) override
    {
        questions << title + QLatin1Char('|') + text;
        return answer;
    }
    bool askYesNo(QWidget*, const QString& title, const QString& text) override
    {
        questions << title + QLatin1Char('|') + text;
        return answer;
    }
    QString chooseFolder(QWidget*, const QString& title) override { return files.value(title); }
    QString chooseOpenFile(QWidget*, const QString& title, const QString& current, const QString& filter) override
    {
        return file("open", title, current, filter);
    }
    QString chooseSaveFile(QWidget*, const QString& title, const QString& current, const QString& filter) override
    {
        return file("save", title, current, filter);
    }
    QString chooseAnyFile(QWidget*, const QString& title, const QString& current, const QString& filter) override
    {
        return file("any", title, current, filter);
    }
    QString file(const char* kind, const QString& title, const QString& current, const QString& filter)
    {
        asked << title + QLatin1Char('|') + current + QLatin1Char('|') + filter;
        kinds << title + QLatin1Char('|') + QLatin1String(kind);
        return files.value(title);
    }

    QStringList messages;
    QStringList questions;
    QStringList asked; // title|current|filter of every file dialog
    QStringList kinds; // title|open, save or any: does the dialog confirm an existing file?
    QMap<QString, QString> files; // the answer by dialog title; none cancels
    bool answer = true;
};
