#pragma once

// Answers the window's dialogs as a test scripts them, and records what was asked.

#include "common/desktop/gui/Dialogs.h"

#include <QStringList>

#include <functional>

class ScriptedDialogs final : public desktop::Dialogs
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
    bool askYesNo(QWidget*, const QString& title, const QString& text) override
    {
        questions << title + QLatin1Char('|') + text;
        return answerOk;
    }
    QString chooseOpenFile(QWidget*, const QString& title, const QString& current, const QString&) override
    {
        openTitles << title;
        openCurrent << current;
        return openAnswer;
    }
    QString chooseSaveFile(QWidget*, const QString& title, const QString& current, const QString&) override
    {
        saveTitles << title;
        logFileCurrent << current;
        return logFileAnswer;
    }
    QString chooseAnyFile(QWidget*, const QString& title, const QString& current, const QString&) override
    {
        anyTitles << title;
        logFileCurrent << current;
        return logFileAnswer;
    }

    QString chooseItem(QWidget*, const QString& title, const QString&, const QStringList& items) override
    {
        itemTitles << title;
        offeredItems = items;
        return itemAnswer < 0 || itemAnswer >= items.size() ? QString() : items[itemAnswer];
    }

    QStringList messages;
    QStringList questions;
    QStringList folderTitles;
    QStringList logFileCurrent; // the current name offered by every save dialog
    QStringList saveTitles;
    QStringList anyTitles; // dialogs that confirm nothing
    QStringList openTitles;
    QStringList openCurrent;
    bool answerOk = true;
    QString folderAnswer;
    QString logFileAnswer; // every save or any-file dialog's answer
    QString openAnswer;
    QStringList itemTitles;
    QStringList offeredItems;
    int itemAnswer = -1; // index of the item chosen; none by default
    std::function<void(const QString&)> onMessage;
};
