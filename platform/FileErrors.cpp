#include "platform/FileErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>

namespace zelt {

namespace {

// The interface's language: the text itself in Japanese, its English when
// the windows' translation is loaded.
QString localized(const char* japanese)
{
    return QCoreApplication::translate("zelt", japanese);
}

}  // namespace

FileError::FileError(FileAction action, FileProblem problem, const QString& path)
    : std::runtime_error(fileErrorText(action, path, problem).toStdString()),
      action_(action),
      problem_(problem),
      path_(path)
{
}

FileError::FileError(FileAction action, const QString& reason, const QString& path)
    : std::runtime_error(fileErrorText(action, path, reason).toStdString()),
      action_(action),
      problem_(FileProblem::Failed),
      path_(path)
{
}

FileProblem fileProblemFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return FileProblem::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileProblem::AccessDenied;
    case ENOENT:
        return FileProblem::NotFound;
    case EISDIR:
        return FileProblem::IsFolder;
    case EPIPE:
        return FileProblem::ReaderGone;
#ifdef ENXIO
    case ENXIO:
        return FileProblem::NoReader;
#endif
    default:
        return FileProblem::Failed;
    }
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

QString fileProblemText(FileProblem problem)
{
    switch (problem) {
    case FileProblem::NotFound:
        return localized("ファイルがありません");
    case FileProblem::FolderNotFound:
        return localized("フォルダーがありません");
    case FileProblem::IsFolder:
        return localized("ファイルではなくフォルダーです");
    case FileProblem::AccessDenied:
        return localized("アクセスが拒否されました");
    case FileProblem::DiskFull:
        return localized("ディスクの空き容量が足りません");
    case FileProblem::NotOrdinary:
        return localized("通常のファイルではありません");
    case FileProblem::NoReader:
        return localized("パイプを読むプログラムがありません");
    case FileProblem::ReaderGone:
        return localized("パイプを読むプログラムが終了しました");
    case FileProblem::Stalled:
        return localized("書き込んだデータが受け取られません");
    case FileProblem::Interrupted:
        return localized("中断されました");
    case FileProblem::Failed:
        break;
    }
    return localized("入出力エラー");
}

QString fileTooLargeReason(qint64 lines, qint64 neededBytes, qint64 allowedBytes)
{
    const QLocale numbers(QLocale::English);
    // What is needed rounded up, what is allowed rounded down: the first is
    // always the larger.
    const QString needed = QString::number((neededBytes + (1 << 20) - 1) >> 20);
    const QString allowed = QString::number(allowedBytes >> 20);
    return localized("%1 行あり、読み込むには %2 MB のメモリが要ります（この大きさのファイルでは %3 MB まで）")
        .arg(numbers.toString(lines), needed, allowed);
}

QString fileErrorText(FileAction action, const QString& path, const QString& reason)
{
    QString what;
    switch (action) {
    case FileAction::Open:
        what = localized("ファイルを開けません");
        break;
    case FileAction::Read:
        what = localized("ファイルを読み込めません");
        break;
    case FileAction::Write:
        what = localized("ファイルに書き込めません");
        break;
    }
    return localized("%1: %2（%3）").arg(what, QDir::toNativeSeparators(path), reason);
}

QString fileErrorText(FileAction action, const QString& path, FileProblem problem)
{
    return fileErrorText(action, path, fileProblemText(problem));
}

FileError fileError(FileAction action, const QString& path, QFileDevice::FileError error)
{
    return FileError(action, findFileProblem(path, action, error), path);
}

}  // namespace zelt
