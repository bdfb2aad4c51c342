#pragma once
// The online capture: the logger's X, Y and Z readings at its fastest rate,
// one sample every 5 ms, for a number of seconds the user chooses. The
// samples arrive as a stream of short hexadecimal lines that is stored raw
// in the capture table while it runs and listed, with a time for each, in
// the log memo once the stream has ended.
#include "data/CaptureExchange.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>


namespace zelt {

class TForm1;

class OnlineCaptureFeature : public QObject {
public:
    // Joins the "5ms" button and the dispatcher's capture branch; a port that
    // vanishes in mid-capture ends the capture with what has arrived.
    explicit OnlineCaptureFeature(TForm1& form);

    void Button40Click();
    // The dispatcher hands over the bytes while a capture runs.
    void receive(quint16 count);

private:
    using End = CaptureExchange::End;
    void finish(End how, const QString& reason = QString());
    // Waits for the reply to the reading request (asked `sinceRequest` ago)
    // when the duration was confirmed before it came.
    void waitForReadingReply(const QElapsedTimer& sinceRequest);

    TForm1& f_;
    CaptureExchange capture_;
};

}  // namespace zelt
