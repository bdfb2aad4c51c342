#include "link/SimulatorCheck.h"

#include "link/ComPort.h"
#include "link/SimulatorProof.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

namespace zelt {

namespace {

// An end mark without the answer: a logger that does not know the question.
// The simulator's answer comes with its own end mark, so a mark left over
// from an earlier answer is given this long to be followed by it.
constexpr int kAfterMarkMs = 500;
constexpr char kEnquiry = 0x05;

}  // namespace

bool askIfSimulator(ComPort& port, int limitMs, const std::function<void()>& pause)
{
    if (!port.Open())
        port.setOpen(true);
    port.FlushInBuffer();
    const std::uint32_t number = QRandomGenerator::global()->generate();
    const std::string question = simproof::question(number);
    const QByteArray answer = QByteArray::fromStdString(simproof::answerLine(number));
    port.PutString(QByteArray::fromStdString(question));

    QByteArray received;
    QElapsedTimer since;
    since.start();
    QElapsedTimer sinceMark;
    for (;;) {
        while (port.CharReady()) {
            const char c = port.GetChar();
            if (c == kEnquiry)  // an enquiry may come in the middle of a line
                continue;
            received += c;
            if (c == '#' && !sinceMark.isValid())
                sinceMark.start();
        }
        // The answer line, and the end mark behind it, so that the answer is
        // over before the line is used for anything else.
        const qsizetype at = received.indexOf(answer + "\r\n");
        if (at >= 0 && received.indexOf('#', at) >= 0)
            return true;
        if (!port.Open() || since.elapsed() >= limitMs)
            return at >= 0;
        if (at < 0 && sinceMark.isValid() && sinceMark.elapsed() >= kAfterMarkMs)
            return false;
        pause();
    }
}

}  // namespace zelt
