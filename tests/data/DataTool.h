#pragma once
// Helpers of the download and CSV tests: the tool ready for a transfer on
// the in-memory port, fixture files, a clock the test sets, and the bytes a
// file should hold for a list of lines.
#include "tests/AppFixture.h"

#include "platform/Clock.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace zelt::test {

inline QString fixturePath(const char* name)
{
    return QStringLiteral(ZELT_FIXTURE_DIR "/") + QString::fromLatin1(name);
}

// A fixture file's bytes exactly as stored.
inline QByteArray fixtureBytes(const char* name)
{
    QFile file(fixturePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read fixture " << name;
        return {};
    }
    return file.readAll();
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read ") + path.toLocal8Bit() + ">";
    return file.readAll();
}

// The lines of a file whose every line ends in CR LF (the recording files the
// tool writes); a line end of any other form fails the test.
inline std::vector<QByteArray> crLfLines(const QByteArray& content)
{
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype end = content.indexOf("\r\n", start);
        if (end < 0) {
            ADD_FAILURE() << "text after the last CR LF: " << content.mid(start).toStdString();
            break;
        }
        const QByteArray line = content.mid(start, end - start);
        EXPECT_FALSE(line.contains('\r') || line.contains('\n')) << "lone CR or LF in " << line.toStdString();
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

// What a recording file with these lines holds: each line, then CR LF.
inline QByteArray withCrLf(const std::vector<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

// A temporary folder whose path holds no point, so that the ".csv" rule of the
// save button depends on the names the tests choose and nothing else.
struct PlainTempDir {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/zeltdata-XXXXXX")};
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    bool usable() const { return dir.isValid() && !dir.path().contains(QLatin1Char('.')); }
};

// The clock the tool reads, set by the test; the system clock comes back at
// the end of the scope.
struct TestClock {
    QDateTime now = QDateTime(QDate(2024, 6, 24), QTime(9, 30, 0));
    TestClock()
    {
        setClockForTests([this] { return now; });
    }
    ~TestClock() { setClockForTests(nullptr); }
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;
};

// The tool with the link up and the logger ready, idle between exchanges:
// start year 2024, 10 counts per G, range "02", logger ID "042".
struct ReadyTool : LinkedTool {
    ReadyTool()
    {
        f->Label15->setText(QStringLiteral("2024"));
        f->countsPerG = 10;
        f->ComboBox5->setEditText(QStringLiteral("02"));
        f->Label18->setText(QStringLiteral("042"));
        port.setOpen(false);
        port.takeWritten();
    }
};

}  // namespace zelt::test
