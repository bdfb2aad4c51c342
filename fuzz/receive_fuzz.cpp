// The whole receive path: the tool with every feature on the in-memory port,
// the logger's bytes arriving in pieces while one of the exchanges runs.
//
// Input: a mode byte, a piece-size byte (1..64 bytes per arrival, 0: all at
// once), then the logger's bytes. Modes: 0 the first answers after a
// connect; 1 a settings exchange (report requested at the end mark);
// 2..5 the four download buttons; 6 the live monitor; 7 an online capture
// (the reading reply is the bytes up to the first end mark, answered while
// the duration box is open, the stream is the rest); 8 a firmware transfer
// of a small image, each piece one answer of the loader.
//
// Properties, besides running clean under the sanitizers:
//  - the receive line stays inside its buffer;
//  - an acknowledgement is sent only for an enquiry received;
//  - a download stores no more records than lines arrived, and once it is
//    decoded the log memo holds the two header lines, the short lines
//    listed meanwhile and exactly one line per record plus the markers;
//  - a capture keeps its column and row within the table; a capture that
//    ends lists its two header lines and one line per row taken;
//  - the firmware loader receives the image's lines in order, each once,
//    without the configuration words, then the closing handshake: what is
//    written is a prefix of exactly that;
//  - an exchange that is over leaves the tick running (an interval of 0 is
//    a stopped tick, and the tool would never look at its port again).
#include "fuzz/FuzzTool.h"

#include "data/OnlineCapture.h"
#include "data/RecordDecoder.h"
#include "firmware/Firmware.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "settings/SendCommand.h"
#include "shell/SharedState.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>

using namespace zelt;
using namespace zelt::fuzz;

namespace {

enum Mode { Connect, Exchange, Download0, Download1, Download2, Download3, Monitor, Capture, Firmware, ModeCount };

// A small image in the loader's layout: program data under upper addresses
// 0 and 1, the configuration words behind their address record.
const std::vector<QByteArray> kImage = {
    ":08000000AC6D1B00DC75D4009F",
    ":04000800FBFB780086",
    ":020000040001F9",
    ":08000000112233004455660093",
    ":020000040002F8",
    ":10AFF000FFFF00003FFF00007FCE00007F3F00000A",
    ":00000001FF",
    ";PIC24FJ128GA310",
};

QTemporaryDir* folder = nullptr;
QString imagePath;

bool exchangeOver(const TForm1& f, const MemoryComPort& port)
{
    return !port.Open() && !f.downloadActive && f.onlineRow == 0 && !f.firmwareSending && !f.monitorMode &&
           f.linkUp == 1 && f.connectReportPending == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    startToolkit(argc, argv);
    folder = new QTemporaryDir;
    imagePath = folder->filePath(QStringLiteral("image.hex"));
    QFile file(imagePath);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
    for (const QByteArray& line : kImage)
        file.write(line + "\r\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const int mode = in.byte() % ModeCount;
    const int pieceByte = in.byte() % 65;
    QByteArray logger = in.rest();
    const int piece = pieceByte == 0 ? static_cast<int>(std::max<qsizetype>(logger.size(), 1)) : pieceByte;

    Tool tool(mode != Connect);
    TForm1& f = *tool.f;
    MemoryComPort& port = tool.port;
    FirmwareFeature* firmware = featureOf<FirmwareFeature>(f);
    FUZZ_CHECK(firmware != nullptr);
    OnlineCaptureFeature* capture = featureOf<OnlineCaptureFeature>(f);
    FUZZ_CHECK(capture != nullptr);
    // The handshakes and the capture's reply are not waited for long once
    // the bytes have all come.
    f.silentLoggerMs = 20;

    // The exchange under way when the bytes come.
    int capturedRows = 0;
    switch (mode) {
    case Connect:
        break;  // the first tick has found the logger and sent its call
    case Exchange:
        f.Memo1->clear();
        port.setOpen(true);
        requestRefresh(f);
        break;
    case Download0:
    case Download1:
    case Download2:
    case Download3: {
        f.Label15->setText(QStringLiteral("2024"));
        f.countsPerG = 10;
        QPushButton* buttons[] = {f.Button30, f.Button47, f.Button3, f.Button28};
        buttons[mode - Download0]->click();
        FUZZ_CHECK(f.downloadActive == 1);
        break;
    }
    case Monitor:
        f.Button10->click();
        FUZZ_CHECK(f.monitorMode == 1);
        f.Timer1Timer();  // the tick asks for a reading
        break;
    case Capture: {
        const qsizetype end = logger.indexOf('#');
        const QByteArray reply = end < 0 ? QByteArray("X= 1 Y=-2 Z= 3 temp 25.3C\r\n#") : logger.left(end + 1);
        if (end >= 0)
            logger = logger.mid(end + 1);
        tool.dialogs.inputs.push_back(QStringLiteral("5"));
        tool.dialogs.whileAsking = [&tool, reply] { tool.send(reply, 4096); };
        f.Button40->click();
        FUZZ_CHECK(f.onlineRow == 1);
        break;
    }
    case Firmware:
        f.platform.portNotice = [](int) { return QString(); };  // a real logger: the file is the image
        tool.dialogs.files.push_back(imagePath);
        firmware->openHexFileClick();
        f.Button37->click();
        FUZZ_CHECK(f.Memo1->count() == static_cast<int>(kImage.size()) + 1);
        port.takeWritten();  // the loader's call
        QTimer::singleShot(0, &port, [&port] { port.feed("#"); });
        f.Button39->click();
        FUZZ_CHECK(f.firmwareSending == 1);
        break;
    }
    if (mode != Firmware)
        port.takeWritten();  // the transfer's own writes are checked below

    // The logger's bytes.
    if (mode == Firmware) {
        // Each piece is one answer, delivered from the event loop as the port
        // does, so that the closing handshake's wait can see the next one.
        for (qsizetype pos = 0; pos < logger.size(); pos += piece)
            port.feedQueued(logger.mid(pos, piece));
        Tool::settle(static_cast<int>(logger.size() / piece) + 4);
    } else {
        tool.send(logger, piece);
        Tool::settle();
    }
    if (mode == Capture && f.onlineRow != 0) {
        capturedRows = f.onlineRow - 1;
        FUZZ_CHECK(f.onlineColumn >= 0 && f.onlineColumn < kOnlineRowSize);
        FUZZ_CHECK(f.onlineRow <= f.onlineSampleCount + 1);
        f.hooks.onlineAbandon();  // the logger falls silent: what came is listed
        FUZZ_CHECK(f.onlineRow == 0);
        // The two header lines, one line per row, the note that it was cut
        // short and the end time.
        FUZZ_CHECK(f.Memo1->count() == 4 + capturedRows);
        for (int k = 2; k < 2 + capturedRows; ++k) {
            const QByteArrayView line = f.Memo1->store().view(k);
            FUZZ_CHECK(line.startsWith("//Bad Sample: ") || line.count(',') == 4);
        }
        FUZZ_CHECK(f.Memo1->store().view(2 + capturedRows).startsWith("// Capture incomplete"));
        FUZZ_CHECK(f.Memo1->store().view(3 + capturedRows).startsWith("End=>"));
    }

    // The receive line.
    FUZZ_CHECK(f.lineLength >= 0 && f.lineLength < kLineBufferSize);
    FUZZ_CHECK(f.lineBuffer[kLineBufferSize - 1] == '\0');

    const QByteArray written = port.takeWritten();
    if (mode != Firmware && mode != Capture)
        FUZZ_CHECK(written.count('\x06') <= logger.count('\x05'));

    if (mode >= Download0 && mode <= Download3) {
        FUZZ_CHECK(f.recordCount >= 0 && f.recordCount <= logger.count('\n'));
        if (!f.downloadActive && f.Memo1->count() >= 2) {
            int markers = 0, listed = 0, notes = 0;
            for (int i = 2; i < f.Memo1->count(); ++i) {
                const QByteArrayView line = f.Memo1->store().view(i);
                if (line == QByteArrayView(records::kIrregularMarker, qstrlen(records::kIrregularMarker)))
                    ++markers;
                else if (line.size() <= 3)
                    ++listed;
                else if (line.startsWith("// Download incomplete"))
                    ++notes;  // a download cut short says so once, at the end
            }
            FUZZ_CHECK(notes <= 1);
            FUZZ_CHECK(f.Memo1->count() == 2 + listed + f.recordCount + markers + notes);
            FUZZ_CHECK(markers <= f.recordCount);
        }
    }

    if (mode == Firmware) {
        // "e", the lines in order, then the closing "qs"; what the tool
        // writes after that belongs to the exchanges that follow.
        QByteArray expected = "e";
        for (std::size_t i = 0; i < kImage.size(); ++i)
            if (i != 4 && i != 5)  // the configuration words and their address record
                expected += kImage[i];
        expected += "qs";
        FUZZ_CHECK(expected.startsWith(written.left(expected.size())));
        FUZZ_CHECK(f.firmwareLineIndex >= 0 && f.firmwareLineIndex <= f.firmwareLineCount);
    }

    if (exchangeOver(f, port))
        FUZZ_CHECK(f.Timer1->interval() > 0);
    return 0;
}
