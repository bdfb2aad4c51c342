// The whole tool against the simulated logger on a pseudo-terminal while the
// logger misbehaves: for each fault a download, a settings read, the live
// monitor and a five-second capture, then the same after the fault has ended. For
// every fault the tool stays responsive (each action ends within its time),
// nothing it received is lost or altered (each record that arrived is listed
// as the logger stored it, in order), a download that fell short says so in
// its data set, and everything works again once the logger behaves.
#include "tests/SimulatedTool.h"

#include "data/RecordDecoder.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace zelt;
using namespace zelt::test;

namespace {

constexpr int kCom = 93;

struct Fault {
    const char* name;
    std::function<void(sim::Simulator&)> apply;
    bool allRecordsArrive;  // the fault leaves the record stream whole
};
void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

const Fault kFaults[] = {
    {"None", [](sim::Simulator&) {}, true},
    {"Silent", [](sim::Simulator& s) { s.setSilence(sim::Silence::Nothing); }, false},
    {"NoEndMark", [](sim::Simulator& s) { s.setSilence(sim::Silence::NoEndMark); }, true},
    {"Noise", [](sim::Simulator& s) { s.setNoise(true); }, false},
    {"EnquiryMidLine", [](sim::Simulator& s) { s.setEnquiry(sim::Enquiry::MidLine); }, true},
    {"Slow", [](sim::Simulator& s) { s.setSlow(700, 0); }, true},
    {"ErrorAnswers", [](sim::Simulator& s) { s.setErrorMode(sim::ErrorMode::ErrLine); }, false},
    {"NegativeCount", [](sim::Simulator& s) { s.setErrorMode(sim::ErrorMode::NegativeCount); }, true},
    {"ShortReportLines", [](sim::Simulator& s) { s.setErrorMode(sim::ErrorMode::ShortLine); }, true},
    {"ReportWithoutEquals", [](sim::Simulator& s) { s.setErrorMode(sim::ErrorMode::NoEquals); }, true},
    {"ReportWithoutBlank", [](sim::Simulator& s) { s.setErrorMode(sim::ErrorMode::NoBlank); }, true},
    {"ShortReportForm", [](sim::Simulator& s) { s.setReportForm(sim::ReportForm::Short); }, true},
};

class FaultMatrix : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override
    {
        const std::string error = tool.plugIn();
        ASSERT_TRUE(error.empty()) << error;
        tool.startTool();
        f().silentLoggerMs = 2000;
        ASSERT_TRUE(waitFor([&] { return tool.idle() && f().loggerReady == 1; }, 15000)) << "no link";
        const sim::Recording rec = tool.sim.recording();
        expected = records::decodePass(rec.records, std::to_string(rec.startYear), false).lines;
    }

    TForm1& f() { return tool.f(); }

    // The decoded record lines of the memo (those that begin with a year).
    std::vector<std::string> listedRecords()
    {
        std::vector<std::string> out;
        for (const QByteArray& line : f().Memo1->lines())
            if (line.size() > 4 && line.at(0) == '2' && line.at(4) == '/')
                out.push_back(line.toStdString());
        return out;
    }
    std::string tail()
    {
        std::string out;
        const std::vector<QByteArray> lines = f().Memo1->lines();
        for (size_t i = lines.size() > 4 ? lines.size() - 4 : 0; i < lines.size(); ++i)
            out += "[" + lines[i].toStdString() + "]";
        std::string cmds;
        for (const std::string& c : tool.sim.observations().commands)
            cmds += c.substr(0, 6) + " ";
        return out + " sim saw: " + cmds.substr(cmds.size() > 200 ? cmds.size() - 200 : 0);
    }
    bool memoHasLineStarting(const QByteArray& prefix)
    {
        for (const QByteArray& line : f().Memo1->lines())
            if (line.startsWith(prefix))
                return true;
        return false;
    }

    // A download with 取得: it ends, its records are the stored ones in
    // order, and one that fell short says so.
    void download(bool mustBeWhole, const char* when)
    {
        ASSERT_TRUE(waitFor([&] { return !tool.port->Open(); }, 10000)) << when << ": the line never came free";
        f().Button30->click();
        ASSERT_EQ(f().downloadActive, 1) << when;
        ASSERT_TRUE(waitFor([&] { return f().downloadActive == 0; }, 30000)) << when << ": the download never ended";
        EXPECT_FALSE(f().Memo1->isHidden()) << when;
        const std::vector<std::string> got = listedRecords();
        // Every listed record is the next stored one: nothing lost in the
        // middle, nothing altered.
        size_t next = 0;
        for (const std::string& line : got) {
            while (next < expected.size() && expected[next] != line)
                ++next;
            ASSERT_LT(next, expected.size()) << when << ": listed but not stored: " << line;
            ++next;
        }
        if (mustBeWhole) {
            EXPECT_EQ(got.size(), expected.size()) << when << "; memo ends: " << tail();
        } else if (got.size() < expected.size()) {
            EXPECT_TRUE(memoHasLineStarting("// Download incomplete")) << when << ": a short download was not said";
        }
    }

    void settingsRead(const char* when)
    {
        ASSERT_TRUE(waitFor([&] { return !tool.port->Open(); }, 10000)) << when;
        f().Button8->click();  // VER: the settings report
        EXPECT_TRUE(waitFor([&] { return !tool.port->Open() && f().Timer1->interval() != 0; }, 15000))
            << when << ": the settings read never ended";
    }

    // A second of the live monitor: readings, or "---" where none came.
    void monitor(const char* when)
    {
        f().Button10->click();
        ASSERT_EQ(f().monitorMode, 1) << when;
        f().Label11->setText(QStringLiteral("seen"));
        EXPECT_TRUE(waitFor([&] { return f().Label11->text() != QStringLiteral("seen"); }, 5000))
            << when << ": the monitor showed neither a reading nor that none came";
        f().Button10->click();
        EXPECT_EQ(f().monitorMode, 0) << when;
    }

    // A five-second capture: it ends, its listing is framed by its start and
    // end lines, and one cut short says so.
    void capture(bool mustBeWhole, const char* when)
    {
        ASSERT_TRUE(waitFor([&] { return !tool.port->Open(); }, 10000)) << when;
        tool.sim.setStreamSpeed(10);  // the samples ten times as fast: the same bytes
        tool.dialogs.inputs.push_back(QStringLiteral("5"));
        f().Button40->click();
        ASSERT_TRUE(waitFor([&] { return f().onlineRow == 0 && memoEndsWith("End=>"); }, 30000))
            << when << ": the capture never ended; " << tail();
        const std::vector<QByteArray> lines = f().Memo1->lines();
        EXPECT_TRUE(lines.front().startsWith("Start Time=")) << when;
        int samples = 0;
        bool saidShort = false;
        for (const QByteArray& line : lines) {
            samples += (line.size() > 4 && line.at(0) == '2' && line.at(4) == '/') ? 1 : 0;
            saidShort = saidShort || line.startsWith("// Capture incomplete");
        }
        if (mustBeWhole) {
            EXPECT_EQ(samples, 999) << when << "; " << tail();
        } else if (samples < 999) {
            EXPECT_TRUE(saidShort) << when << ": a short capture was not said; " << tail();
        }
    }
    bool memoEndsWith(const QByteArray& prefix)
    {
        const int n = f().Memo1->count();
        return n > 0 && f().Memo1->line(n - 1).startsWith(prefix);
    }

    SimulatedTool tool{kCom};
    std::vector<std::string> expected;
};

TEST_P(FaultMatrix, NothingLostAndTheToolRecovers)
{
    const Fault& fault = GetParam();
    fault.apply(tool.sim);

    download(fault.allRecordsArrive, "during the fault");
    settingsRead("during the fault");
    monitor("during the fault");
    capture(fault.allRecordsArrive, "during the fault");
    // The event loop ran all along: a queued call comes through at once.
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    EXPECT_TRUE(waitFor([&] { return ran; }, 1000));

    // The fault ends: everything works as before.
    tool.sim.setBehaviour(sim::Behaviour{});
    tool.sim.setSettings(tool.sim.settings());
    ASSERT_TRUE(waitFor([&] { return tool.idle() && f().loggerReady == 1; }, 20000)) << "no link after the fault";
    settingsRead("after the fault");
    download(true, "after the fault");
    EXPECT_FALSE(memoHasLineStarting("// Download incomplete"));
    monitor("after the fault");
    EXPECT_EQ(f().Label11->text().trimmed().isEmpty(), false);
    capture(true, "after the fault");
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// Unplugged in the middle of a download and plugged in again: what arrived
// is kept and said, the reconnect leaves it alone, and a new download is whole.
TEST(FaultMatrixUnplug, DownloadCutByAnUnplugKeepsWhatArrived)
{
    SimulatedTool tool(kCom + 1);
    const std::string error = tool.plugIn();
    ASSERT_TRUE(error.empty()) << error;
    TForm1& f = tool.startTool();
    ASSERT_TRUE(waitFor([&] { return tool.idle() && f.loggerReady == 1; }, 15000)) << "no link";
    tool.sim.setSlow(0, 20000);  // slow enough to pull the cable in the middle
    f.Button30->click();
    ASSERT_TRUE(waitFor([&] { return f.recordCount >= 200; }, 20000))
        << "records " << f.recordCount << " active " << f.downloadActive << " lines " << f.Memo1->count() << " last "
        << f.Memo1->lines().back().toStdString() << " | " << tool.dialogs.messages.join(QLatin1Char('|')).toStdString();
    tool.sim.unplug();
    ASSERT_TRUE(waitFor([&] { return f.downloadActive == 0; }, 10000)) << "the download view stayed";
    EXPECT_FALSE(f.Memo1->isHidden());
    const std::vector<QByteArray> dataSet = f.Memo1->lines();
    ASSERT_GE(dataSet.size(), 200u);
    EXPECT_TRUE(dataSet.front().startsWith("Start Year="));
    EXPECT_TRUE(dataSet.back().startsWith("// Download incomplete (port lost")) << dataSet.back().toStdString();
    EXPECT_EQ(tool.dialogs.messages.size(), 1) << tool.dialogs.messages.join(QLatin1Char('|')).toStdString();

    std::string replugError;
    ASSERT_TRUE(tool.sim.replug(&replugError)) << replugError;
    ASSERT_TRUE(waitFor([&] { return tool.idle() && f.loggerReady == 1; }, 20000)) << "no link after the replug";
    EXPECT_EQ(f.Memo1->lines(), dataSet) << "the reconnect touched the data set";
}

}  // namespace
