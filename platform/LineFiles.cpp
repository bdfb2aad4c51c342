#include "platform/LineFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <algorithm>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelt {

namespace {

constexpr qsizetype kPiece = 64 * 1024;

// Where the bytes of a write go.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void write(QByteArrayView bytes) = 0;
    virtual void finish() = 0;
};

// An ordinary file: QSaveFile's temporary name, renamed at the end.
class ReplacingSink : public Sink {
public:
    explicit ReplacingSink(const QString& path) : path_(path), file_(path)
    {
        if (!file_.open(QIODevice::WriteOnly))
            throw fail();
    }
    void write(QByteArrayView bytes) override
    {
        if (file_.write(bytes.data(), bytes.size()) != bytes.size())
            throw fail();
    }
    void finish() override
    {
        if (!file_.commit())
            throw fail();
    }

private:
    FileError fail() { return fileError(FileAction::Write, path_, file_.error()); }
    QString path_;
    QSaveFile file_;
};

#ifdef Q_OS_UNIX

// While a write runs, a reader that goes away gives EPIPE instead of
// SIGPIPE, which would end the tool; a SIGPIPE raised meanwhile is taken
// back before the signal mask is restored.
class SigPipeHeld {
public:
    SigPipeHeld()
    {
        sigemptyset(&set_);
        sigaddset(&set_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &set_, &old_);
    }
    ~SigPipeHeld()
    {
        if (!pendingBefore_) {
            sigset_t pending;
            sigemptyset(&pending);
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                const timespec none{0, 0};
                sigtimedwait(&set_, nullptr, &none);
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigPipeHeld(const SigPipeHeld&) = delete;
    SigPipeHeld& operator=(const SigPipeHeld&) = delete;

private:
    sigset_t set_;
    sigset_t old_;
    bool pendingBefore_ = false;
};

// A pipe, a device or standard output, written as it is. Each write waits
// (polling, so that an interruption is seen) until the other end takes
// bytes; a pipe or terminal gets at most PIPE_BUF bytes a write, which it
// takes whole once it says it has room.
class DirectSink : public Sink {
public:
    DirectSink(int fd, bool own, const QString& shownName, const WriteControl& control)
        : fd_(fd), own_(own), name_(shownName), control_(control)
    {
        struct stat st {};
        regular_ = fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
        piece_ = regular_ ? kPiece : PIPE_BUF;
    }
    ~DirectSink() override
    {
        if (own_ && fd_ >= 0)
            ::close(fd_);
    }
    DirectSink(const DirectSink&) = delete;
    DirectSink& operator=(const DirectSink&) = delete;

    void write(QByteArrayView bytes) override
    {
        const char* p = bytes.data();
        qsizetype left = bytes.size();
        QElapsedTimer idle;
        idle.start();
        while (left > 0) {
            if (control_.interrupted && control_.interrupted())
                throw FileError(FileAction::Write, FileProblem::Interrupted, name_);
            pollfd pfd{fd_, POLLOUT, 0};
            const int ready = ::poll(&pfd, 1, 100);
            if (ready < 0 && errno != EINTR)
                throw failed(errno);
            if (ready <= 0) {
                if (control_.stallLimitMs > 0 && idle.elapsed() >= control_.stallLimitMs)
                    throw FileError(FileAction::Write, FileProblem::Stalled, name_);
                continue;
            }
            const ssize_t n = ::write(fd_, p, static_cast<size_t>(std::min<qsizetype>(left, piece_)));
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    continue;
                throw failed(errno);
            }
            p += n;
            left -= n;
            idle.restart();
        }
    }

    void finish() override
    {
        // A file behind standard output reports some failures (a full disk
        // on a network file system) only when its data goes to the disk.
        if (regular_ && ::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
            throw failed(errno);
        if (own_) {
            const int fd = fd_;
            fd_ = -1;
            if (::close(fd) != 0 && errno != EINTR)
                throw failed(errno);
        }
    }

private:
    FileError failed(int error) const { return FileError(FileAction::Write, fileProblemFromErrno(error), name_); }

    int fd_;
    bool own_;
    QString name_;
    const WriteControl& control_;
    bool regular_ = false;
    qsizetype piece_ = PIPE_BUF;
    SigPipeHeld sigPipe_;
};

// Opens a pipe or a character device for writing, without creating,
// truncating or replacing anything. A pipe that no program reads fails with
// ENXIO when opened without blocking: that is waited out only when asked.
int openDirect(const QString& path, const WriteControl& control)
{
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            struct stat st {};
            if (fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
                ::close(fd);
                throw FileError(FileAction::Write, FileProblem::NotOrdinary, path);
            }
            return fd;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != ENXIO || !control.waitForReader)
            throw FileError(FileAction::Write, fileProblemFromErrno(error), path);
        if (control.interrupted && control.interrupted())
            throw FileError(FileAction::Write, FileProblem::Interrupted, path);
        QThread::msleep(50);
    }
}

#endif  // Q_OS_UNIX

std::unique_ptr<Sink> openSink(const QString& path, const WriteControl& control)
{
    FileProblem why = FileProblem::Failed;
    switch (writeTargetOf(path, &why)) {
    case WriteTarget::Replace:
        break;
    case WriteTarget::Refused:
        throw FileError(FileAction::Write, why, path);
    case WriteTarget::Direct:
#ifdef Q_OS_UNIX
        return std::make_unique<DirectSink>(openDirect(path, control), true, path, control);
#else
        (void)control;  // no special files to wait for on this system
        break;
#endif
    }
    return std::make_unique<ReplacingSink>(path);
}

void writeLines(Sink& sink, const ByteLines& lines)
{
    // Written in pieces of about 64 KiB: no second copy of the whole data set.
    QByteArray chunk;
    chunk.reserve(kPiece + 256);
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArrayView line = lines.view(i);
        if (line.size() > kPiece) {
            // A line of megabytes goes out as it is, not copied.
            if (!chunk.isEmpty())
                sink.write(chunk);
            chunk.clear();
            sink.write(line);
        } else {
            chunk.append(line);
        }
        chunk.append("\r\n", 2);
        if (chunk.size() >= kPiece) {
            sink.write(chunk);
            chunk.clear();
        }
    }
    if (!chunk.isEmpty())
        sink.write(chunk);
    sink.finish();
}

}  // namespace

WriteTarget writeTargetOf(const QString& path, FileProblem* why)
{
    const auto refused = [why](FileProblem problem) {
        if (why)
            *why = problem;
        return WriteTarget::Refused;
    };
#ifdef Q_OS_UNIX
    struct stat st {};
    // The name as it resolves: a link to a pipe is the pipe.
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return WriteTarget::Replace;  // a new file (or one the write will report)
    if (S_ISREG(st.st_mode))
        return WriteTarget::Replace;
    if (S_ISDIR(st.st_mode))
        return refused(FileProblem::IsFolder);
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
        return WriteTarget::Direct;
    return refused(FileProblem::NotOrdinary);
#else
    if (QFileInfo(path).isDir())
        return refused(FileProblem::IsFolder);
    return WriteTarget::Replace;
#endif
}

void writeBytesFile(QByteArrayView bytes, const QString& path, const WriteControl& control)
{
    const std::unique_ptr<Sink> sink = openSink(path, control);
    for (qsizetype at = 0; at < bytes.size(); at += kPiece)
        sink->write(bytes.sliced(at, std::min(kPiece, bytes.size() - at)));
    sink->finish();
}

void writeLinesFile(const ByteLines& lines, const QString& path, const WriteControl& control)
{
    const std::unique_ptr<Sink> sink = openSink(path, control);
    writeLines(*sink, lines);
}

void writeLinesTo(int fd, const ByteLines& lines, const QString& shownName, const WriteControl& control)
{
#ifdef Q_OS_UNIX
    DirectSink sink(fd, false, shownName, control);
    writeLines(sink, lines);
#else
    (void)control;
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        throw FileError(FileAction::Write, FileProblem::Failed, shownName);
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArrayView line = lines.view(i);
        if (file.write(line.data(), line.size()) != line.size() || file.write("\r\n", 2) != 2)
            throw FileError(FileAction::Write, file.error() == QFileDevice::ResourceError ? FileProblem::DiskFull
                                                                                          : FileProblem::Failed,
                            shownName);
    }
    if (!file.flush())
        throw FileError(FileAction::Write, FileProblem::Failed, shownName);
#endif
}

void openOrdinaryFile(QFile& file, const QString& path)
{
#ifdef Q_OS_UNIX
    // Opened without waiting (a pipe would wait for a writer), then looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw fileError(FileAction::Open, path, QFileDevice::OpenError);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError(FileAction::Open, S_ISDIR(st.st_mode) ? FileProblem::IsFolder : FileProblem::NotOrdinary, path);
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw fileError(FileAction::Open, path, file.error());
    }
#else
    file.setFileName(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw fileError(FileAction::Open, path, file.error());
#endif
}

qint64 lineFileMemoryBound(qint64 fileSize)
{
    return std::max(2 * fileSize, kLineFileFloorBytes);
}

std::optional<ByteLines> readLinesFile(const QString& path, const std::function<bool(qint64, qint64)>& progress)
{
    QFile file;
    openOrdinaryFile(file, path);
    const qint64 size = file.size();
    const qint64 total = 2 * size;  // measured, then read
    const auto goOn = [&](qint64 done) { return !progress || progress(done, total); };
    const auto readFailed = [&] { return fileError(FileAction::Read, path, file.error()); };
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);

    // 1. Measure: how many lines, what they will take, which are long.
    LineCounter counter;
    qint64 measured = 0;
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0)
            throw readFailed();
        if (n == 0)
            break;
        counter.feed(QByteArrayView(chunk.constData(), n));
        measured += n;
        if (!goOn(measured))
            return std::nullopt;
    }
    counter.finish();
    const qint64 needed = counter.footprint().bytes();
    const qint64 bound = lineFileMemoryBound(measured);
    if (needed > bound)
        throw FileError(FileAction::Open, fileTooLargeReason(counter.footprint().lines(), needed, bound), path);

    // 2. Read what was measured into exactly that room.
    if (!file.seek(0))
        throw readFailed();
    ByteLines lines;
    lines.reserve(counter.footprint().lines());
    LineSplitter splitter(lines);
    splitter.expectLongLines(counter.longLines());
    qint64 read = 0;
    while (read < measured) {
        const qint64 n = file.read(chunk.data(), std::min<qint64>(chunk.size(), measured - read));
        if (n < 0)
            throw readFailed();
        if (n == 0)
            break;  // the file became shorter: what it holds now
        splitter.feed(QByteArrayView(chunk.constData(), n));
        read += n;
        if (!goOn(measured + read))
            return std::nullopt;
    }
    splitter.finish();
    return lines;
}

}  // namespace zelt
