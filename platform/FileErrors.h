#pragma once
// Files that cannot be opened, read or written, told in the interface's
// language: the action, the file and a short reason. Every file error the
// user sees is worded here; the English comes from the windows' translation
// when it is loaded.
#include <QFileDevice>
#include <QString>
#include <stdexcept>

namespace zelt {

enum class FileAction { Open, Read, Write };

enum class FileProblem {
    NotFound,        // no such file
    FolderNotFound,  // the folder the file should be in does not exist
    IsFolder,        // the name is a folder's
    AccessDenied,    // no right to read or write it
    DiskFull,        // no room left on the disk
    NotOrdinary,     // a socket, a block device or the like: not a file to read or write
    NoReader,        // a pipe that no program reads from
    ReaderGone,      // the program reading the pipe closed it
    Stalled,         // a pipe or device that stopped taking bytes
    Interrupted,     // the user interrupted the write (Ctrl-C)
    Failed,          // any other failure of the device
};

// A file that cannot be opened, read or written; what() is the message the
// user sees (UTF-8).
class FileError : public std::runtime_error {
public:
    FileError(FileAction action, FileProblem problem, const QString& path);
    // With a reason of its own in place of the problem's (already in the
    // interface's language).
    FileError(FileAction action, const QString& reason, const QString& path);
    FileAction action() const { return action_; }
    FileProblem problem() const { return problem_; }
    const QString& path() const { return path_; }

private:
    FileAction action_;
    FileProblem problem_;
    QString path_;
};

// Why `action` failed on path: found from the path as it stands now and the
// device's error kind (which tells a full disk).
FileProblem findFileProblem(const QString& path, FileAction action,
                            QFileDevice::FileError error = QFileDevice::UnspecifiedError);

// The problem an errno value of a failed read or write names (ENOSPC: the
// disk is full, EPIPE: the reader went away, ...).
FileProblem fileProblemFromErrno(int error);

// The message for a failure, e.g. "ファイルを開けません: /a/b.csv（アクセスが拒否されました）".
QString fileErrorText(FileAction action, const QString& path, FileProblem problem);
QString fileErrorText(FileAction action, const QString& path, const QString& reason);
// The reason alone, e.g. "ディスクの空き容量が足りません".
QString fileProblemText(FileProblem problem);
// Why a file of so many lines is not read: the memory its lines would take
// and the most the tool allows for it.
QString fileTooLargeReason(qint64 lines, qint64 neededBytes, qint64 allowedBytes);

// The error for a failed action on path, its reason found as above.
FileError fileError(FileAction action, const QString& path,
                    QFileDevice::FileError error = QFileDevice::UnspecifiedError);

}  // namespace zelt
