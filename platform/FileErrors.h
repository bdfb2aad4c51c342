#pragma once
// Files that cannot be opened, read or written, told in the interface's
// language: the action, the file and a short reason. Every file error the
// user sees is worded here.
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
    Failed,          // any other failure of the device
};

// A file that cannot be opened, read or written; what() is the message the
// user sees (UTF-8).
class FileError : public std::runtime_error {
public:
    FileError(FileAction action, FileProblem problem, const QString& path);
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

// The message for a failure, e.g. "ファイルを開けません: /a/b.csv（アクセスが拒否されました）".
QString fileErrorText(FileAction action, const QString& path, FileProblem problem);

// The error for a failed action on path, its reason found as above.
FileError fileError(FileAction action, const QString& path,
                    QFileDevice::FileError error = QFileDevice::UnspecifiedError);

}  // namespace zelt
