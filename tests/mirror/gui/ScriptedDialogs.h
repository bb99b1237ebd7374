#pragma once

// Answers the window's dialogs as a test scripts them, and records what was asked.

#include "mirror/gui/MirrorDialogs.h"

#include <QStringList>

#include <functional>

class ScriptedDialogs final : public MirrorDialogs
{
public:
    void showMessage(QWidget*, const QString& text) override
    {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    bool askOkCancel(QWidget*, const QString& title, const QString& text) override
    {
        questions << title + QLatin1Char('|') + text;
        return answerOk;
    }
    QString chooseFolder(QWidget*, const QString& title) override
    {
        folderTitles << title;
        return folderAnswer;
    }
    QString chooseLogFile(QWidget*, const QString& current) override
    {
        logFileCurrent << current;
        return logFileAnswer;
    }

    QStringList messages;
    QStringList questions;
    QStringList folderTitles;
    QStringList logFileCurrent;
    bool answerOk = true;
    QString folderAnswer;
    QString logFileAnswer;
    std::function<void(const QString&)> onMessage;
};
