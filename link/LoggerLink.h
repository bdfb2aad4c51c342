#pragma once
// The logger's side of the line, without a window: every byte the logger
// sends passes through receive(). It hands the bytes to an online capture or
// a firmware transfer in progress, assembles the line protocol's lines while
// the link is up (answering the logger's enquiry), keeps the records of a
// download, applies the settings report, and on each end mark sends the next
// queued command or ends the exchange. The first answer after connect()
// establishes the link.
//
// What is to be shown goes to a LinkView: the main window shows it in its
// controls, the command-line tool prints it. Both drive the same object.
#include "link/LinkState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <utility>
#include <vector>

namespace zelt {

class ComPort;
class ReportLine;

// The settings as the logger reported them, as texts shown to the user. A
// null text was not reported since the link came up.
struct LoggerSettings {
    // '@A' with kind 'h', and with any other kind
    QString hazard, gravity, endless;      // value, "ON"/"OFF", "ON"/"OFF"
    QString hundredHz, display, df;        // "ON"/"OFF", value, value
    QString buzzer;                        // '@B': "BZ-ON" / "BZ-OFF"
    QString recordCount, recordCountRest;  // '@C'
    QString threshold;                     // '@D' / '@d'
    QString calibrationX, calibrationY, calibrationZ;  // '@F'
    QString status;                        // '@G' / '@g'
    QString sampling;                      // '@I'
    QString identity;                      // '@K'
    QString lText;                         // '@L'
    QString myId;                          // '@M'
    QString interval;                      // '@R'
    QString range;                         // '@T' (and '@g')
    QString thresholdDetect;               // '@W': "1" / "0"
    QString year;                          // '@Y'
    QString rec;                           // '@r'
    QString startMode;                     // '@s': "Sleep" / "開始"
    QString wait;                          // '@w'

    // Name and text of every reported setting, in a fixed order.
    std::vector<std::pair<const char*, QString>> reported() const;
};

// What one report line changed.
struct ReportUpdate {
    char letter = 0;
    char kind = 0;               // '@A': 'h' or another
    bool rangeSet = false;       // '@T', '@g': the range text changed
    bool statusSet = false;      // '@g': the status text changed
    bool negativeCount = false;  // '@C': the count was negative
};

// What a link reports. Every call has a default that does nothing.
class LinkView {
public:
    virtual ~LinkView() = default;
    // Bytes came from the logger (before anything else is done with them).
    virtual void bytesArrived() {}
    // An online capture or a firmware transfer takes the waiting bytes.
    virtual void captureBytes(quint16 count) { (void)count; }
    virtual void firmwareBytes() {}
    // The first answer after a connect established the link.
    virtual void linkEstablished() {}
    // A byte of a line was taken.
    virtual void receiving() {}
    // A line of the monitor's reply is complete (it stays in the line buffer).
    virtual void monitorLine() {}
    // During a download: a record was stored (count so far), a short line
    // came that belongs to the data set's listing.
    virtual void recordStored(int count) { (void)count; }
    virtual void downloadListed(QByteArrayView line) { (void)line; }
    // The download went past its bound without an end mark; the port is closed.
    virtual void downloadCutShort(const QString& why) { (void)why; }
    // A line of an answer (not a download's), before it is acted on.
    virtual void answerLine(QByteArrayView line) { (void)line; }
    // The identification line: a logger the tool handles (its number is in
    // the state), or another model.
    virtual void identified(bool handled) { (void)handled; }
    // A report line was applied to the settings and the state.
    virtual void reportApplied(const ReportUpdate& update) { (void)update; }
    // The end mark came (before its queued command goes out).
    virtual void endMark() {}
    // The end mark of a download's answer: the records are complete. True
    // when the records were taken (the line buffer then holds the last line
    // made of them).
    virtual bool downloadEnded() { return false; }
    // The exchange is over and the port closed; lastText is the text then in
    // the line buffer.
    virtual void exchangeClosed(const QByteArray& lastText) { (void)lastText; }
};

class LoggerLink {
public:
    LoggerLink(ComPort& port, LinkState& state);

    void setView(LinkView* view) { view_ = view ? view : &none_; }
    ComPort& port() const { return port_; }
    LinkState& state() const { return state_; }
    const LoggerSettings& settings() const { return settings_; }

    // The receive path: count bytes are waiting at the port.
    void receive(quint16 count);

    // Connect: "m" on a freshly opened port; the answer establishes the link
    // and its end mark asks for the settings report.
    void connect();
    // The first answer came: "m" again, and the link is up.
    void establish();

    // Applies one report line ('@' and a letter) to the settings and the state.
    void applyReport(const ReportLine& line);

private:
    void lineLoop();
    void completeLine();
    void identificationLine();
    void endMarkArrived();

    ComPort& port_;
    LinkState& state_;
    LoggerSettings settings_;
    LinkView none_;
    LinkView* view_ = &none_;
};

}  // namespace zelt
