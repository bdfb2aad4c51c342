#include "platform/FileErrors.h"

#include <QDir>
#include <QFileInfo>

namespace zelt {

FileError::FileError(FileAction action, FileProblem problem, const QString& path)
    : std::runtime_error(fileErrorText(action, path, problem).toStdString()),
      action_(action),
      problem_(problem),
      path_(path)
{
}

FileProblem findFileProblem(const QString& path, FileAction action, QFileDevice::FileError error)
{
    const QFileInfo file(path);
    if (file.isDir())
        return FileProblem::IsFolder;
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return FileProblem::FolderNotFound;
    if (action == FileAction::Write) {
        if (error == QFileDevice::ResourceError)
            return FileProblem::DiskFull;
        if ((file.exists() && !file.isWritable()) || !folder.isWritable())
            return FileProblem::AccessDenied;
        return FileProblem::Failed;
    }
    if (!file.exists())
        return FileProblem::NotFound;
    if (!file.isReadable())
        return FileProblem::AccessDenied;
    return FileProblem::Failed;
}

QString fileErrorText(FileAction action, const QString& path, FileProblem problem)
{
    QString what;
    switch (action) {
    case FileAction::Open:
        what = QStringLiteral("ファイルを開けません");
        break;
    case FileAction::Read:
        what = QStringLiteral("ファイルを読み込めません");
        break;
    case FileAction::Write:
        what = QStringLiteral("ファイルに書き込めません");
        break;
    }
    QString why;
    switch (problem) {
    case FileProblem::NotFound:
        why = QStringLiteral("ファイルがありません");
        break;
    case FileProblem::FolderNotFound:
        why = QStringLiteral("フォルダーがありません");
        break;
    case FileProblem::IsFolder:
        why = QStringLiteral("ファイルではなくフォルダーです");
        break;
    case FileProblem::AccessDenied:
        why = QStringLiteral("アクセスが拒否されました");
        break;
    case FileProblem::DiskFull:
        why = QStringLiteral("ディスクの空き容量が足りません");
        break;
    case FileProblem::Failed:
        why = QStringLiteral("入出力エラー");
        break;
    }
    return QStringLiteral("%1: %2（%3）").arg(what, QDir::toNativeSeparators(path), why);
}

FileError fileError(FileAction action, const QString& path, QFileDevice::FileError error)
{
    return FileError(action, findFileProblem(path, action, error), path);
}

}  // namespace zelt
