#pragma once
// The receive dispatcher: the one handler through which every byte from the
// logger passes. It hands the bytes to an online capture or a firmware
// transfer in progress, assembles the line protocol's lines while the link is
// up, or, on the first answer after a connect, establishes the link.
#include <QObject>
#include <QString>

namespace zelt {

class TForm1;
class ReportLine;

class Dispatcher : public QObject {
public:
    // Installs itself as the port's bytes-waiting notification.
    explicit Dispatcher(TForm1& form);

    void ApdComPort1TriggerAvail(quint16 count);

    // Applies one report line ('@' and a letter) to the settings display.
    void applyReport(const ReportLine& line);

private:
    void lineLoop();
    void completeLine();
    void identificationLine();
    void endMark();
    void setMarker(const QString& text);

    TForm1& f_;
};

}  // namespace zelt
