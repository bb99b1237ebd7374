#include "MirrorDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString withLineFeeds(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

void QtMirrorDialogs::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QApplication::applicationDisplayName(), withLineFeeds(text));
}

bool QtMirrorDialogs::askOkCancel(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, withLineFeeds(text), QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok)
        == QMessageBox::Ok;
}

QString QtMirrorDialogs::chooseFolder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title, QDir::rootPath());
}

QString QtMirrorDialogs::chooseLogFile(QWidget* parent, const QString& current)
{
    // Asks before overwriting; the folder must exist because a save dialog only offers those.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Log File Name"), current, QString(), nullptr,
                                        QFileDialog::Options());
}
