#pragma once
// Files the tool writes and reads.
//
// Writing: a list of lines each ended by CR LF (a recording as 保存 writes
// it), or bytes as they are. What the name stands for decides how:
//   - an ordinary file, or none yet: written under a temporary name in the
//     same folder and renamed over the old file only once all of it is
//     written, so a failure leaves the old file as it was;
//   - a pipe (FIFO) or a character device (a terminal, /dev/null): written
//     directly, never replaced, every write checked;
//   - anything else (a folder, a socket, a block device): refused.
// A failure throws FileError, which names a full disk as such.
//
// Reading: only ordinary files are opened; a pipe would hold the tool until
// some program writes to it.
#include "platform/ByteLines.h"
#include "platform/FileErrors.h"

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

class QFile;

namespace zelt {

// How a write to a pipe or a device waits.
struct WriteControl {
    // Looked at while the write waits; true ends it (FileProblem::Interrupted).
    std::function<bool()> interrupted;
    // A pipe that no program reads yet: wait for its reader (until
    // interrupted) rather than fail at once.
    bool waitForReader = false;
    // The longest wait for a pipe or device to take more bytes, in ms;
    // 0: no limit (only an interruption ends the wait).
    int stallLimitMs = 30000;
};

enum class WriteTarget {
    Replace,  // an ordinary file or a new one: temporary name, then rename
    Direct,   // a pipe or a character device: written as it is
    Refused,  // what cannot be written as a file
};
// How a write to path goes; for a refused one, *why says why.
WriteTarget writeTargetOf(const QString& path, FileProblem* why = nullptr);

void writeLinesFile(const ByteLines& lines, const QString& path, const WriteControl& control = {});
void writeBytesFile(QByteArrayView bytes, const QString& path, const WriteControl& control = {});
// Writes the lines to a descriptor that is open already (standard output);
// shownName names it in a FileError.
void writeLinesTo(int fd, const ByteLines& lines, const QString& shownName, const WriteControl& control = {});

// Opens path for reading when it is an ordinary file; throws FileError
// (FileAction::Open) for anything else, or when it cannot be opened.
void openOrdinaryFile(QFile& file, const QString& path);

// A file read into lines (ending at CR, LF or CR LF, as LineSplitter cuts
// them) within a memory bound: the file is measured first, and one whose
// lines would take more than twice its size (or kLineFileFloorBytes, for
// small files) is refused with a FileError that says how much it would
// need. The measured lines are then read into exactly the room they take.
// progress(done, total) is called between pieces of the file; false from it
// cancels the reading (the result is then empty). Throws FileError when the
// file cannot be opened or read.
inline constexpr qint64 kLineFileFloorBytes = 8 * 1024 * 1024;
qint64 lineFileMemoryBound(qint64 fileSize);
std::optional<ByteLines> readLinesFile(const QString& path,
                                       const std::function<bool(qint64 done, qint64 total)>& progress = {});

}  // namespace zelt
