#pragma once
// The firmware update: "Start" puts the image into the log memo and shows
// "Update"; "Update" sends the image to the logger's loader, one line per
// answer of the logger, leaving out the configuration-word record, and ends
// with the "qs" / "M" / "m" handshake.
//
// The image is the Intel HEX file the user opens with "HEX..." (checked
// against the loader's layout before it is taken; see HexFile.h). Without
// one, the generated stand-in is used, and only when the attached logger is
// the simulated one: filler sent to a real logger would be written into it
// as code. A registered port's name is not enough: "Start" asks the logger
// the question only the simulator answers (link/SimulatorProof.h). With any
// other logger and no file, "Start" and "Update" send nothing (but that
// question) and ask for the file. A label beside the buttons names the image "Update"
// sends.
//
// Both handshakes wait for the logger inside their handler, and a transfer
// whose logger stops answering is ended by a watch of its own (the tool's
// silent-logger watchdog leaves transfers alone). They give up only a
// logger that has gone silent: one that sends nothing for the window's
// silence limit (`silentLoggerMs`, the options' 無応答待ち), counted from
// its last byte or from what was last sent to it, whichever is later. A
// handshake whose logger keeps sending without its answer ends at twice
// that limit, since the window takes no input while it waits. Each ends
// with a message and the tick running again.
#include "firmware/FirmwareTransfer.h"
#include "platform/ByteLines.h"

#include <functional>
#include <QObject>
#include <QString>

class QLabel;
class QPushButton;
class QTimer;

namespace zelt {

class TForm1;

class FirmwareFeature : public QObject {
public:
    // Fills Memo2 with the stand-in, adds the "HEX..." button and the image
    // label, and joins the "Start" and "Update" buttons and the
    // dispatcher's firmware branch.
    explicit FirmwareFeature(TForm1& form);

    void Button37Click();  // Start: the loader is called, the image shown
    void Button39Click();  // Update: "e", wait for '#', send line 0
    void openHexFileClick();  // HEX...: the user's firmware file becomes the image
    // The dispatcher's firmware branch: the logger answered the last line.
    void firmwareReceive();

    // The simulated logger's answer to its question, before "Start" calls the
    // loader.
    int simulatorProofLimitMs = 5000;
    // Whether the logger proves that it is the simulated one; unset, the
    // question goes out on the line (tests on an in-memory line stand in
    // for the answer).
    std::function<bool()> askSimulator;

    QPushButton* hexFileButton = nullptr;  // "HEX...", beside "Start" and "Update"
    QLabel* imageLabel = nullptr;          // the image "Update" sends; shown with "Update"

protected:
    // Follows "Update" and the simulated-logger notice being shown or hidden.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Image {
        const ByteLines* lines = nullptr;
        QString name;  // for the user
    };
    // The opened file, else the stand-in when the simulated logger is
    // attached, else none.
    bool imageToSend(Image* image) const;
    // Whether the logger on the port proved on the line that it is the
    // simulated one (asked by "Start" when no file is open).
    bool simulatedLoggerAttached() const;
    void checkSimulatedLogger();
    bool askOnTheLine();
    void showImageChoice();

    void finish();
    void hideProgress();
    // Ends a transfer that cannot go on: the tick runs again and the image
    // stays in the log memo, so "Update" can be pressed again.
    void abandon(const QString& message);
    // Runs a step that sends to the logger; a port error ends the transfer.
    void guardedSend(const std::function<void()>& send);
    void checkStall();
    // A handshake's end while the logger keeps sending without its answer.
    int handshakeDeadlineMs() const;
    // The limit a failed handshake wait ran into, for its message.
    int limitOf(FirmwareTransfer::Wait wait) const;

    TForm1& f_;
    ByteLines fileImage_;       // the checked lines of the opened HEX file
    QString fileName_;          // its name; empty when none is open
    QString lastHexPath_;       // proposed by the next open dialog
    QString provenPort_;        // the port notice of the logger that proved it is the simulator
    FirmwareTransfer transfer_;
    bool waitingForReady_ = false;
    bool inArrival_ = false;
    bool transferRunning_ = false;  // from line 0 until finished or abandoned
    QTimer* stallWatch_ = nullptr;
};

// Messages of the update that are the tool's own.
QString firmwareNoImageMessage();
QString firmwareNeedsFileMessage();
// The update confirmed by the loader: the image's lines and those sent (the
// configuration words and the last, empty line are not), in the interface's
// language.
QString firmwareDoneMessage(int lineCount, int linesSent);
// The progress bar's text while the image goes out (QProgressBar's %v, %m, %p).
QString firmwareProgressFormat();

}  // namespace zelt
