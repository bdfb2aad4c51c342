#include "platform/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "platform/Language.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

namespace zelt {

QString toQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // File systems here are case-sensitive: offer both cases of a pattern.
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << p.toLower();
            if (p.toUpper() != p.toLower())
                patterns << p.toUpper();
        }
        patterns.removeDuplicates();
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return out.join(QStringLiteral(";;"));
}

void QtDialogs::message(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), translated(text), QMessageBox::Ok,
                    parent_);
    box.exec();
}

bool QtDialogs::question(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), translated(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    // The captions in the interface's language, whatever translations the
    // toolkit has loaded.
    box.button(QMessageBox::Yes)->setText(translated(QStringLiteral("はい(&Y)")));
    box.button(QMessageBox::No)->setText(translated(QStringLiteral("いいえ(&N)")));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::inputQuery(const QString& caption, const QString& prompt, QString& value)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent_, translated(caption), translated(prompt), QLineEdit::Normal, value, &ok);
    if (ok)
        value = text;
    return ok;
}

static bool runFileDialog(QWidget* parent, FileRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(toQtFilter(request.filter));
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.folder.isEmpty()) {
        dialog.setDirectory(request.folder);
        if (!request.fileName.isEmpty())
            dialog.selectFile(QFileInfo(request.fileName).fileName());
    } else if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    request.fileName = dialog.selectedFiles().first();
    return true;
}

bool QtDialogs::openFile(FileRequest& request)
{
    return runFileDialog(parent_, request, QFileDialog::AcceptOpen);
}

bool QtDialogs::saveFile(FileRequest& request)
{
    return runFileDialog(parent_, request, QFileDialog::AcceptSave);
}

bool FolderMemoryDialogs::fileDialog(FileRequest& request, bool save)
{
    const QString key = QString::fromLatin1(kLastFolderPreference);
    if (preferences_) {
        // A folder that has gone since is not offered.
        const QString last = preferences_->value(key);
        if (!last.isEmpty() && QFileInfo(last).isDir())
            request.folder = last;
    }
    const bool chosen = save ? dialogs_.saveFile(request) : dialogs_.openFile(request);
    if (chosen && preferences_ && !request.fileName.isEmpty())
        preferences_->setValue(key, QFileInfo(request.fileName).absolutePath());
    return chosen;
}

bool FolderMemoryDialogs::openFile(FileRequest& request)
{
    return fileDialog(request, false);
}

bool FolderMemoryDialogs::saveFile(FileRequest& request)
{
    return fileDialog(request, true);
}

bool ScriptedDialogs::question(const QString& text)
{
    questions << text;
    if (answers.empty())
        return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

bool ScriptedDialogs::inputQuery(const QString&, const QString& prompt, QString& value)
{
    inputPrompts << prompt;
    if (inputs.empty())
        return false;
    std::optional<QString> answer = inputs.front();
    inputs.pop_front();
    if (!answer)
        return false;
    value = *answer;
    return true;
}

bool ScriptedDialogs::answerFile(FileRequest& request)
{
    fileRequests.push_back(request);
    if (files.empty())
        return false;
    std::optional<QString> answer = files.front();
    files.pop_front();
    if (!answer)
        return false;
    request.fileName = *answer;
    return true;
}

}  // namespace zelt
