// The built-in stand-in image, read back with a plain Intel HEX parser.
#include "firmware/FirmwareImage.h"
#include "firmware/HexFile.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <map>

namespace zelt {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;  // lower case counts as wrong: the image is upper case
}

struct Record {
    int count = 0;
    unsigned address = 0;
    int type = -1;
    std::vector<std::uint8_t> data;
};

// Parses one record; an empty optional-like result (type -1) with a reason on error.
Record parse(const QByteArray& line, std::string* error)
{
    Record r;
    if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0) {
        *error = "not a record";
        return r;
    }
    std::vector<int> bytes;
    for (int i = 1; i < line.size(); i += 2) {
        const int hi = hexDigit(line[i]), lo = hexDigit(line[i + 1]);
        if (hi < 0 || lo < 0) {
            *error = "not upper-case hex";
            return r;
        }
        bytes.push_back(hi * 16 + lo);
    }
    int sum = 0;
    for (const int b : bytes)
        sum += b;
    if ((sum & 0xFF) != 0) {
        *error = "bad checksum";
        return r;
    }
    r.count = bytes[0];
    if (static_cast<int>(bytes.size()) != r.count + 5) {
        *error = "length does not match the count";
        return r;
    }
    r.address = static_cast<unsigned>(bytes[1] * 256 + bytes[2]);
    r.type = bytes[3];
    r.data.assign(bytes.begin() + 4, bytes.end() - 1);
    return r;
}

std::uint16_t crc16(const std::vector<std::uint8_t>& bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= static_cast<std::uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

TEST(FirmwareImage, FixedLinesAtTheirPlaces)
{
    const ByteLines& img = standInImageLines();
    ASSERT_EQ(img.size(), 7525);
    EXPECT_EQ(img.at(4035), ":020000040001F9");
    EXPECT_EQ(img.at(7519), ":020000040002F8");
    EXPECT_TRUE(img.at(7520).startsWith(":10AFF000")) << img.at(7520).toStdString();
    EXPECT_EQ(img.at(7521), ":00000001FF");
    EXPECT_EQ(img.at(7522), ";PIC24FJ128GA310");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^;CRC=[0-9A-F]{4}  CREATED=\"[^\"]+\"$"))
                    .match(QString::fromLatin1(img.at(7523)))
                    .hasMatch())
        << img.at(7523).toStdString();
    EXPECT_TRUE(img.at(7524).isEmpty());
}

TEST(FirmwareImage, RecordsAreValidAndIncreasing)
{
    const ByteLines& img = standInImageLines();
    ASSERT_EQ(img.size(), 7525);
    std::map<int, int> sizes;  // data bytes per record -> records
    std::vector<std::uint8_t> all;
    unsigned upper = 0;
    long long nextFree = 0;  // lowest absolute address the next record may use
    long long end = 0;
    int dataRecords = 0;
    for (int i = 0; i <= 7521; ++i) {
        std::string error;
        const Record r = parse(img.at(i), &error);
        ASSERT_TRUE(error.empty()) << "line " << i << ": " << error << " " << img.at(i).toStdString();
        const bool addressLine = i == 4035 || i == 7519;
        if (addressLine) {
            ASSERT_EQ(r.type, 4) << "line " << i;
            ASSERT_EQ(r.count, 2);
            upper = r.data[0] * 256u + r.data[1];
            continue;
        }
        if (i == 7521) {
            EXPECT_EQ(r.type, 1);
            continue;
        }
        ASSERT_EQ(r.type, 0) << "line " << i;
        ++dataRecords;
        const long long absolute = (static_cast<long long>(upper) << 16) + r.address;
        ASSERT_GE(absolute, nextFree) << "line " << i << " overlaps or goes back";
        ASSERT_LE(r.address + r.data.size(), 0x10000u) << "line " << i << " crosses its 64 KB page";
        nextFree = absolute + static_cast<long long>(r.data.size());
        end = nextFree;
        ++sizes[r.count];
        all.insert(all.end(), r.data.begin(), r.data.end());
    }
    EXPECT_EQ(dataRecords, 7519);
    EXPECT_EQ(upper, 2u);
    EXPECT_EQ((std::map<int, int>{{4, 2}, {8, 2}, {16, 7515}}), sizes);
    EXPECT_EQ(all.size(), 120264u);
    EXPECT_EQ(end, 0x2B000);
    // The first record starts at 0, the configuration record at 0x2AFF0.
    std::string error;
    EXPECT_EQ(parse(img.at(0), &error).address, 0u);
    EXPECT_EQ(parse(img.at(7520), &error).count, 16);
    // The CRC line states the CRC of the data bytes.
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04X", crc16(all));
    EXPECT_EQ(img.at(7523).mid(5, 4), QByteArray(expected));
}

// The stand-in is in the layout the loader takes, as a user's file must be.
TEST(FirmwareImage, StandInPassesTheLoaderCheck)
{
    const std::optional<HexProblem> p = checkLoaderImage(standInImageLines());
    EXPECT_FALSE(p.has_value()) << p->describe().toStdString();
}

}  // namespace
}  // namespace zelt
