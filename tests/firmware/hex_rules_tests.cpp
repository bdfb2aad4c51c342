// Images that would leave the logger without a program: the HEX check
// refuses them, by rule, before anything is sent; and a file with a line of
// megabytes is refused at that line.
#include "firmware/HexFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zelt {
namespace {

// A record with its checksum: count, address, type and data as given.
std::string record(unsigned address, unsigned type, const std::vector<unsigned>& data)
{
    std::vector<unsigned> bytes = {static_cast<unsigned>(data.size()), address >> 8, address & 0xFF, type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (unsigned b : bytes)
        sum += b;
    bytes.push_back((0x100 - (sum & 0xFF)) & 0xFF);
    std::string out = ":";
    char pair[3];
    for (unsigned b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        out += pair;
    }
    return out;
}

const std::string kConfig = ":10AFF000FFFF00003FFF00007FCE00007F3F00000A";

ByteLines linesOf(const std::vector<std::string>& lines)
{
    QByteArray text;
    for (const std::string& l : lines)
        text += QByteArray::fromStdString(l) + "\n";
    return splitHexText(text);
}

TEST(HexRules, ImagesThatWouldLeaveTheLoggerWithoutItsProgramAreRefused)
{
    const std::string data8 = ":08000000AC6D1B00DC75D4009F";  // 0x0000-0x0007
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int line;          // the line named, 1-based; 0: accepted
        const char* says;  // part of what is said
    };
    const Case cases[] = {
        {"program and configuration", {data8, ":020000040002F8", kConfig, ":00000001FF"}, 0, ""},
        {"configuration words only", {":020000040002F8", kConfig, ":00000001FF"}, 3, "no program data"},
        {"address records and configuration only",
         {":020000040000FA", ":020000040001F9", ":020000040002F8", kConfig, ":00000001FF"}, 5, "no program data"},
        {"the same record twice", {data8, data8, ":020000040002F8", kConfig, ":00000001FF"}, 2,
         "address 0x00000 is written twice: line 1"},
        {"records that overlap by one byte",
         {data8, record(0x0007, 0, {1, 2, 3, 4}), ":020000040002F8", kConfig, ":00000001FF"}, 2,
         "address 0x00007 is written twice: line 1"},
        {"the same address under the second upper address",
         {":020000040001F9", record(0x0010, 0, {1, 2}), record(0x000F, 0, {9, 9, 9}), ":020000040002F8", kConfig,
          ":00000001FF"},
         3, "address 0x10010 is written twice: line 2"},
        {"records side by side", {data8, record(0x0008, 0, {1, 2, 3, 4}), ":020000040002F8", kConfig, ":00000001FF"},
         0, ""},
        {"a record line longer than the format allows",
         {data8, ":" + std::string(600, 'F'), ":020000040002F8", kConfig, ":00000001FF"}, 2,
         "601 characters long; a record is at most 521"},
        {"a comment longer than a record", {data8, ":020000040002F8", kConfig, ":00000001FF", ";" + std::string(521, 'c')},
         5, "522 characters long"},
        {"the longest record is not too long",
         {record(0x0000, 0, std::vector<unsigned>(255, 0x11)), ":020000040002F8", kConfig, ":00000001FF"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<HexProblem> p = checkLoaderImage(linesOf(c.lines));
        if (c.line == 0) {
            EXPECT_FALSE(p) << p->describe().toStdString();
            continue;
        }
        ASSERT_TRUE(p);
        EXPECT_EQ(p->line, c.line) << p->describe().toStdString();
        EXPECT_TRUE(p->what.contains(QString::fromLatin1(c.says))) << p->describe().toStdString();

        // Read from a file, the same verdict.
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("image.hex")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (const std::string& l : c.lines)
            f.write(QByteArray::fromStdString(l) + "\r\n");
        f.close();
        const HexFileResult r = loadHexFile(f.fileName());
        EXPECT_TRUE(r.error.contains(QString::fromLatin1(c.says))) << r.error.toStdString();
        EXPECT_EQ(r.lines.size(), 0);
    }
}

// A file of one line of megabytes (within the size limit) is refused at that
// line, with its length as far as it was read, and no larger file either.
TEST(HexRules, AHugeLineIsRefusedAtItsLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.hex"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(":08000000AC6D1B00DC75D4009F\r\n");
    f.write(QByteArray(3 * 1024 * 1024, 'A'));
    f.close();
    const HexFileResult r = loadHexFile(path);
    EXPECT_TRUE(r.error.contains(QStringLiteral("Line 2:"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("a record is at most 521"))) << r.error.toStdString();
    EXPECT_LT(r.error.size(), 400) << "the line is not quoted whole";
}

// A pipe is no firmware file: it is refused at once instead of holding the
// tool until some program writes to it.
TEST(HexRules, APipeIsRefusedWithoutWaiting)
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("image.hex")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const HexFileResult r = loadHexFile(QFile::decodeName(fifo));
    EXPECT_TRUE(r.error.contains(QStringLiteral("not an ordinary file"))) << r.error.toStdString();
}

}  // namespace
}  // namespace zelt
