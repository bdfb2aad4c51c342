// The log memo keeps bytes: what is saved and loaded comes back exactly.
#include "platform/Cp932.h"
#include "platform/LogMemo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelt;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

TEST(LogMemo, IrregularRecordBytesSurviveSaveAndLoad)
{
    QTemporaryDir dir;
    LogMemo memo;
    memo.addLine(QStringLiteral("Start Year=2024 @1G=10"));
    memo.addLine(QStringLiteral("//↓Irregular Record //"));
    const QByteArray irregular("\x81" "024/05/19 11:12:13.450,  1, -2,  3, 25.3", 40);
    memo.addLine(irregular);
    memo.addLine(QByteArray("\x81", 1));  // a lone lead byte with nothing after it

    const QString path = dir.filePath(QStringLiteral("rec.csv"));
    memo.saveToFile(path);
    const QByteArray expected = QByteArray("Start Year=2024 @1G=10\r\n") + "//\x81\xABIrregular Record //\r\n" +
                                irregular + "\r\n" + QByteArray("\x81\r\n", 3);
    EXPECT_EQ(readAll(path), expected);  // CP932, CR LF after every line, no byte-order mark

    LogMemo back;
    back.loadFromFile(path);
    ASSERT_EQ(back.count(), 4);
    EXPECT_EQ(back.lines(), memo.lines());
    EXPECT_EQ(back.lineText(1), QStringLiteral("//↓Irregular Record //"));
}

TEST(LogMemo, LinesEndAtCrLfOrBoth)
{
    struct Case {
        QByteArray content;
        std::vector<QByteArray> lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
        {"", {}},
        {"\r\n", {""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitLines(c.content), c.lines) << c.content.toStdString();
}

TEST(LogMemo, UnwritableFileRaisesAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    LogMemo memo;
    memo.addLine(QByteArray("new"));
    EXPECT_THROW(memo.saveToFile(dir.filePath(QStringLiteral("missing/dir/x.csv"))), FileError);

    // A name that is taken by a folder cannot be written, whatever the rights.
    const QString taken = dir.filePath(QStringLiteral("taken.csv"));
    ASSERT_TRUE(QDir().mkdir(taken));
    writeAll(taken + QStringLiteral("/inside.txt"), "old\r\n");
    try {
        memo.saveToFile(taken);
        ADD_FAILURE() << "no error for a folder";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("taken.csv"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readAll(taken + QStringLiteral("/inside.txt")), QByteArray("old\r\n"));
}

TEST(LogMemo, MissingFileRaisesAndKeepsTheLines)
{
    LogMemo memo;
    memo.addLine(QByteArray("kept"));
    EXPECT_THROW(memo.loadFromFile(QStringLiteral("/nonexistent/zelt.csv")), FileError);
    ASSERT_EQ(memo.count(), 1);
    EXPECT_EQ(memo.line(0), QByteArray("kept"));
}

TEST(LogMemo, ManyAppendsReachTheViewInOneAnnouncement)
{
    LogMemo memo;
    int inserts = 0;
    QObject::connect(memo.byteModel(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    for (int i = 0; i < 72000; ++i)
        memo.addLine(QByteArray::number(i));
    EXPECT_EQ(memo.count(), 72000);            // the data is there at once
    EXPECT_EQ(memo.byteModel()->rowCount(), 0);    // the view hears of it once
    QCoreApplication::processEvents();
    EXPECT_EQ(memo.byteModel()->rowCount(), 72000);
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(memo.byteModel()->data(memo.byteModel()->index(71999, 0), Qt::DisplayRole).toString(), QStringLiteral("71999"));
    memo.clear();
    EXPECT_EQ(memo.byteModel()->rowCount(), 0);
}

TEST(Cp932, JapaneseTextsEncodeAsShiftJis)
{
    EXPECT_EQ(toCp932(QStringLiteral("↓")), QByteArray("\x81\xAB"));
    EXPECT_EQ(toCp932(QStringLiteral("時間不整合")), QByteArray("\x8E\x9E\x8A\xD4\x95\x73\x90\xAE\x8D\x87"));
    EXPECT_EQ(fromCp932(toCp932(QStringLiteral("データ数不具合 ℃ ～"))), QStringLiteral("データ数不具合 ℃ ～"));
    EXPECT_EQ(toCp932(QStringLiteral("a\u20ACb")), QByteArray("a?b"));  // not in CP932
    // Invalid bytes decode to a replacement character and decoding goes on.
    EXPECT_EQ(fromCp932(QByteArray("\x81", 1)), QString(QChar(0xFFFD)));
    EXPECT_EQ(fromCp932(QByteArray("\x81" "024", 4)), QString(QChar(0xFFFD)) + QStringLiteral("024"));
}

}  // namespace

#include "platform/ByteLines.h"

namespace {

TEST(ByteLines, KeepsEveryLineExactlyShortAndLong)
{
    ByteLines lines;
    std::vector<QByteArray> expected;
    // Many short lines fill several blocks; long lines get their own.
    for (int i = 0; i < 20000; ++i) {
        QByteArray line = QByteArray::number(i) + QByteArray(i % 37, 'x');
        if (i % 5000 == 1)
            line = QByteArray(70000 + i, static_cast<char>('a' + i % 26));  // longer than a block
        if (i % 7000 == 3)
            line = QByteArray(20000, 'L');  // long, yet shorter than a block
        if (i % 9000 == 5)
            line.clear();
        lines.append(line);
        expected.push_back(line);
    }
    lines.append(QByteArray("\x81\x00\xFF", 3));
    expected.push_back(QByteArray("\x81\x00\xFF", 3));
    ASSERT_EQ(lines.size(), static_cast<int>(expected.size()));
    EXPECT_EQ(lines.toVector(), expected);
    EXPECT_EQ(lines.at(-1), QByteArray());
    EXPECT_EQ(lines.at(lines.size()), QByteArray());

    lines.set(2, "changed");
    lines.set(lines.size() + 2, "after a gap");
    EXPECT_EQ(lines.at(2), QByteArray("changed"));
    EXPECT_EQ(lines.at(lines.size() - 2), QByteArray());
    EXPECT_EQ(lines.back(), QByteArray("after a gap"));
    EXPECT_EQ(ByteLines::fromVector(lines.toVector()), lines);
    lines.clear();
    EXPECT_TRUE(lines.empty());
}

TEST(ByteLines, SplitterJoinsLinesAcrossChunks)
{
    const QByteArray content("one\r\ntwo\rthree\nfour\r\n\r\nlast");
    const std::vector<QByteArray> expected{"one", "two", "three", "four", "", "last"};
    // Every way of cutting the text in two, and byte by byte.
    for (int cut = 0; cut <= content.size(); ++cut) {
        ByteLines lines;
        LineSplitter splitter(lines);
        splitter.feed(QByteArrayView(content).first(cut));
        splitter.feed(QByteArrayView(content).sliced(cut));
        splitter.finish();
        EXPECT_EQ(lines.toVector(), expected) << "cut at " << cut;
    }
    ByteLines bytewise;
    LineSplitter splitter(bytewise);
    for (char c : content)
        splitter.feed(QByteArrayView(&c, 1));
    splitter.finish();
    EXPECT_EQ(bytewise.toVector(), expected);
}

}  // namespace
