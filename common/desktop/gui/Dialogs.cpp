#include "common/desktop/gui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace desktop {

namespace {

QString withLineFeeds(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

void QtDialogs::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QApplication::applicationDisplayName(), withLineFeeds(text));
}

bool QtDialogs::askOkCancel(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(
               parent, title, withLineFeeds(text), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
        == QMessageBox::Ok;
}

bool QtDialogs::askYesNo(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(
               parent, title, withLineFeeds(text), QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

QString QtDialogs::chooseFolder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title, QDir::rootPath());
}

QString QtDialogs::chooseOpenFile(QWidget* parent, const QString& title, const QString& current, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, current, filter);
}

QString QtDialogs::chooseSaveFile(QWidget* parent, const QString& title, const QString& current, const QString& filter)
{
    // Asks before overwriting; the folder must exist because a save dialog only offers those.
    return QFileDialog::getSaveFileName(parent, title, current, filter);
}

QString QtDialogs::chooseAnyFile(QWidget* parent, const QString& title, const QString& current, const QString& filter)
{
    QFileDialog dialog(parent, title, current, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString QtDialogs::chooseItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(parent, title, label, items, items.size() - 1, false, &ok);
    return ok ? item : QString();
}

} // namespace desktop
