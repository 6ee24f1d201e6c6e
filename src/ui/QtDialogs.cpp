#include "ui/QtDialogs.h"
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace sf {

QString DialogText(const std::string& text)
{
    QString t = QString::fromStdString(text);
    t.replace("\r\n", "\n");
    t.replace('\r', '\n');
    return t;
}

void TQtDialogs::ErrorBox(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), DialogText(text), QMessageBox::Ok, m_parent);
    box.exec();
}

bool TQtDialogs::AskYesNo(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), DialogText(text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> TQtDialogs::BrowseFolder(const std::string& title, const std::string& root)
{
    const QString start = root.empty() ? QDir::homePath() : QString::fromStdString(root);
    const QString dir = QFileDialog::getExistingDirectory(m_parent, QString::fromStdString(title), start);
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

std::optional<std::string> TQtDialogs::ChooseFile(const std::string& title, const std::string& initialDir)
{
    QFileDialog dialog(m_parent, QString::fromStdString(title), QString::fromStdString(initialDir));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (title == "Delete underlay images") {
        dialog.setNameFilters({"All (*.gif *.png *.jpg *.bmp)", "Gif (*.gif)", "Portable Network Graphics (*.png)",
                               "JPEG Image File (*.jpg)", "Bitmaps (*.bmp)"});
        dialog.setDefaultSuffix("bmp");
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void TQtDialogs::ShellOpen(const std::string& target)
{
    const QString t = QString::fromStdString(target);
    // A path that exists opens as a file; anything else is taken as an address.
    const QUrl url = QFileInfo::exists(t) ? QUrl::fromLocalFile(t) : QUrl::fromUserInput(t);
    QDesktopServices::openUrl(url);
}

void TQtDialogs::Beep()
{
    QApplication::beep();
}

} // namespace sf
