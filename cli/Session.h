#pragma once
// One logger on one port, driven without a window: the port, the line's
// state and the logger link, with the waits of a program that has no tick.
// Each exchange is the one the windows run (LoggerLink, DownloadExchange,
// CaptureExchange, FirmwareTransfer); this only waits for its end and
// reports what went wrong.
//
// Two bounds end a wait. A logger that has sent nothing for the timeout
// (counted from its last byte) has gone silent. A logger that keeps sending
// without ever ending its answer (enquiries, endless lines) is cut at twice
// the timeout: from the wait's start for the connect and each exchange, and
// from the last record, sample or answered line for a download, a capture
// and a firmware image, which are bounded by their counts.
#include "data/DownloadExchange.h"
#include "data/MonitorReading.h"
#include "link/LoggerLink.h"
#include "platform/ByteLines.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace zelt {
class CaptureExchange;
class FirmwareTransfer;
class ComPort;
}  // namespace zelt

namespace zelt::cli {

class Progress;

// A command that cannot be done: the exit code and a one-line reason.
struct Failure {
    int code;
    QString reason;
};

// Set by Ctrl-C; every wait looks at it.
std::atomic<bool>& interruptRequested();

class Session : public QObject, public LinkView {
public:
    Session(Progress& progress, int timeoutMs);
    // On a port of the caller's (a benchmark's or a test's port whose
    // adapter is simulated); the session owns it.
    Session(Progress& progress, int timeoutMs, std::unique_ptr<ComPort> port);
    ~Session() override;

    // The port by name: "COMn", a device path with a COM number, or "auto"
    // (the logger's adapter as the window's port search finds it; with
    // generic, also a generic adapter). Nothing is opened yet.
    void usePort(const QString& name, bool generic);
    QString portName() const;
    QString devicePath() const;

    // Connects as the window does: "m", the identification line, the
    // settings report. Fails unless a logger the tool handles answered.
    void connectLogger();

    LinkState& state() { return state_; }
    const LoggerSettings& settings() const { return link_->settings(); }

    // Sends a command and waits for the end of its exchange; the queue is
    // what the following end marks send. A failure names the queued
    // commands that were not sent.
    void exchange(const QByteArray& command, const QByteArray& queued1 = "p", const QByteArray& queued2 = {},
                  const QByteArray& queued3 = {});

    // A download: the data set's lines, as the window's memo holds them,
    // also when it ended short (downloadResult() says so); only an
    // interruption fails.
    ByteLines download(Transfer kind);
    const DownloadExchange::Result& downloadResult() const { return lastDownload_; }
    // An online capture of so many seconds: the listing's lines.
    ByteLines capture(int seconds);
    // Live readings until interrupted.
    void monitor(const std::function<void(const MonitorReading&)>& reading);
    // The firmware update with a checked image.
    void firmware(const ByteLines& image, const QByteArray& skipKey);

    // LinkView
    void bytesArrived() override;
    void captureBytes(quint16 count) override;
    void firmwareBytes() override;
    void recordStored(int count) override;
    void downloadListed(QByteArrayView line) override;
    void downloadCutShort(const QString& why) override;
    void answerLine(QByteArrayView line) override;
    void identified(bool handled) override;
    void endMark() override;
    bool downloadEnded() override;
    void exchangeClosed(const QByteArray& lastText) override;

private:
    enum class WaitEnd { Done, Silent, Overdue, Lost, Interrupted };
    // Runs the event loop until done() holds, the logger has sent nothing
    // for silenceMs, deadlineMs (0: twice the timeout) have passed since the
    // wait began or since the last progress, the port is lost or Ctrl-C came.
    WaitEnd waitFor(const std::function<bool()>& done, int silenceMs, bool interruptible = true, int deadlineMs = 0);
    int deadlineMs() const { return 2 * timeoutMs_; }
    // A record, a sample or an answered firmware line came.
    void noteProgress() { lastProgress_.restart(); }
    void openPort();
    [[noreturn]] void fail(WaitEnd end, const QString& during, int deadlineMs = 0);
    // Empties the queue; "; not sent: ..." naming what was in it, or empty.
    QString dropQueued();
    void finishDownload(const QString& cutShortBy);

    Progress& progress_;
    int timeoutMs_;
    std::unique_ptr<ComPort> port_;
    LinkState state_;
    std::unique_ptr<LoggerLink> link_;
    QElapsedTimer lastByte_;
    QElapsedTimer lastProgress_;
    QString lost_;
    bool closed_ = false;
    std::optional<bool> handled_;
    ByteLines answers_;

    // Download
    ByteLines* lines_ = nullptr;
    std::unique_ptr<DownloadExchange> download_;
    std::optional<DownloadExchange::Result> downloadResult_;
    DownloadExchange::Result lastDownload_;
    QByteArray yearText_;

    // Capture
    CaptureExchange* capture_ = nullptr;
    bool captureComplete_ = false;

    // Monitor
    std::function<void(const MonitorReading&)> reading_;

    // Firmware
    FirmwareTransfer* transfer_ = nullptr;
    bool imageGoing_ = false;
    bool imageSent_ = false;
    int loaderErrors_ = 0;
};

}  // namespace zelt::cli
