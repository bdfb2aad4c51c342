#pragma once
// The main window's view of the logger link: what the link reports is shown
// in the window's controls, and the features of the other subsystems are
// handed what is theirs (the capture's and the firmware transfer's bytes,
// the monitor's lines, the end of a download).
#include "link/LoggerLink.h"

#include <QObject>
#include <QString>

namespace zelt {

class TForm1;
class ReportLine;

class Dispatcher : public QObject, public LinkView {
public:
    // Installs itself as the port's bytes-waiting notification and as the
    // view of the window's link.
    explicit Dispatcher(TForm1& form);
    ~Dispatcher() override;

    void ApdComPort1TriggerAvail(quint16 count);

    // Applies one report line ('@' and a letter) to the settings display.
    void applyReport(const ReportLine& line);

    // LinkView
    void bytesArrived() override;
    void captureBytes(quint16 count) override;
    void firmwareBytes() override;
    void linkEstablished() override;
    void receiving() override;
    void monitorLine() override;
    void recordStored(int count) override;
    void downloadListed(QByteArrayView line) override;
    void downloadCutShort(const QString& why) override;
    void answerLine(QByteArrayView line) override;
    void identified(bool handled) override;
    void reportApplied(const ReportUpdate& update) override;
    void endMark() override;
    bool downloadEnded() override;
    void exchangeClosed(const QByteArray& lastText) override;

private:
    void setMarker(const QString& text);
    void restartTick();

    TForm1& f_;
};

}  // namespace zelt
