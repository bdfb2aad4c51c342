// A recording file opened in the tool (FILE), saved again (保存), and drawn
// by the graph window.
//
// Input: the file's bytes.
//
// Properties:
//  - the log memo holds the file's lines, a line ending at CR, LF or CR LF
//    (a file that is no recording once the user has agreed to load it);
//  - the saved file is those lines, each followed by CR LF; a file already
//    in that form is saved byte-identical, and a saved file opened and saved
//    again is byte-identical to the first save;
//  - the graph's line list is the memo's lines in the graph's layout, and
//    its sample table is consistent: every parsed row knows the nearest
//    sample before and after it, rows outside the parsed range hold none,
//    and the back steps are fewer than the samples;
//  - the graph draws the recording at the start, middle and end of it.
#include "fuzz/FuzzTool.h"

#include "graph/GraphFeature.h"
#include "graph/GraphModel.h"
#include "graph/TForm2.h"
#include "platform/LogMemo.h"

#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <vector>

using namespace zelt;
using namespace zelt::fuzz;

namespace {

QTemporaryDir* folder = nullptr;

// Lines ending at CR, LF or CR LF; the text after the last end is a line.
std::vector<QByteArray> referenceLines(const QByteArray& text)
{
    std::vector<QByteArray> lines;
    QByteArray current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines.push_back(current);
    return lines;
}

QByteArray withCrLf(const std::vector<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void checkTable(const GraphSampleTable& t, int count)
{
    const int rows = t.rows();
    FUZZ_CHECK(rows >= std::max(count, GraphSampleTable::kMinRows));
    for (const auto size : {t.timeMs.size(), t.x.size(), t.y.size(), t.z.size(),
                            t.temperature.size(), t.humidity.size(), t.sample.size(), t.nextSample.size(),
                            t.previousSample.size()})
        FUZZ_CHECK(static_cast<int>(size) == rows);
    FUZZ_CHECK(t.firstRow == 3 && t.lastRow < rows);
    int samples = 0;
    int previous = -1;
    for (int r = 0; r < rows; ++r) {
        if (!t.parsed(r)) {
            FUZZ_CHECK(!t.sample[r] && t.nextSample[r] == -1 && t.previousSample[r] == -1);
            continue;
        }
        FUZZ_CHECK(t.previousSample[r] == previous);
        int next = -1;
        for (int k = r + 1; k <= t.lastRow; ++k)
            if (t.sample[k]) {
                next = k;
                break;
            }
        FUZZ_CHECK(t.nextSample[r] == next);
        if (t.sample[r]) {
            ++samples;
            previous = r;
            FUZZ_CHECK(t.timeText(r).size() <= 18);
        }
    }
    FUZZ_CHECK(t.backStepCount >= 0 && t.backStepCount <= std::max(samples - 1, 0));
    FUZZ_CHECK(samples == 0 || !t.firstText.isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    startToolkit(argc, argv);
    folder = new QTemporaryDir;
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text = bytes(data, size);
    const QString opened = folder->filePath(QStringLiteral("opened.csv"));
    const QString saved = folder->filePath(QStringLiteral("saved.csv"));
    const QString again = folder->filePath(QStringLiteral("again.csv"));
    {
        QFile file(opened);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(text) == text.size());
    }
    Tool tool;
    TForm1& f = *tool.f;

    // FILE, then 保存. A file that is no recording (empty, binary, another
    // text) is loaded once the user agrees; the user does.
    tool.dialogs.answers = {true, true};
    tool.dialogs.files.push_back(opened);
    f.Button11->click();
    const std::vector<QByteArray> lines = referenceLines(text);
    FUZZ_CHECK(f.Memo1->lines() == lines);
    tool.dialogs.files.push_back(saved);
    f.Button6->click();
    const QByteArray first = readFile(saved);
    FUZZ_CHECK(first == withCrLf(lines));
    if (withCrLf(referenceLines(text)) == text)
        FUZZ_CHECK(first == text);

    // The saved file opened and saved again.
    tool.dialogs.files.push_back(saved);
    f.Button11->click();
    FUZZ_CHECK(f.Memo1->lines() == lines);
    tool.dialogs.files.push_back(again);
    f.Button6->click();
    FUZZ_CHECK(readFile(again) == first);
    FUZZ_CHECK(tool.dialogs.messages.isEmpty());

    // グラフ
    TForm2& graph = tool.app->form2();
    GraphFeature* feature = GraphFeature::of(graph);
    FUZZ_CHECK(feature != nullptr);
    f.Button12->click();
    if (lines.empty() || !lines[0].startsWith("Start")) {
        FUZZ_CHECK(!graph.isVisible());
        return 0;
    }
    FUZZ_CHECK(graph.isVisible());
    const int count = std::min(f.decodedCount, graph.Memo1->count());
    FUZZ_CHECK(count == static_cast<int>(lines.size()));
    for (int i = 0; i < count; ++i)
        FUZZ_CHECK(graph.Memo1->store().view(i) == graphRecordLine(lines[static_cast<std::size_t>(i)]));
    checkTable(feature->table, count);

    QScrollBar* bar = graph.ScrollBar1;
    for (const int position : {bar->minimum(), (bar->minimum() + bar->maximum()) / 2, bar->maximum()}) {
        bar->setValue(position);
        const QImage image = graph.grab().toImage();
        FUZZ_CHECK(!image.isNull());
    }
    graph.close();
    return 0;
}
