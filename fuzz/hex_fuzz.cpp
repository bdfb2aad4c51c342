// The firmware HEX reader: splitting a file into the lines the transfer
// sends, and the check against the loader's layout.
//
// Input: the file's bytes.
//
// Properties:
//  - the lines are the text split at LF with one CR before each dropped,
//    always ending with an empty line: joined again they give the text;
//  - an image the check accepts is, read independently here, what the
//    loader takes: well-formed upper-case records with matching counts and
//    zero sums, one end-of-file record followed only by comment lines, the
//    configuration words directly behind their one address record, and,
//    sent as the transfer sends it (without those two lines), program data
//    only at 0x00000..0x1FFFF and no record across a 64 KB boundary;
//  - a refused image names a line of the file;
//  - reading the same bytes from a file gives the same lines and verdict.
#include "fuzz/FuzzSupport.h"

#include "firmware/HexFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <vector>

using namespace zelt;
using namespace zelt::fuzz;

namespace {

QTemporaryDir* folder = nullptr;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct Record {
    int count = 0;
    unsigned address = 0;
    int type = -1;
    std::vector<int> data;
};

// A record as the loader reads it, or type -1.
Record readRecord(QByteArrayView line)
{
    Record r;
    if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0)
        return r;
    std::vector<int> b;
    for (qsizetype i = 1; i + 1 < line.size(); i += 2) {
        const int h = hexValue(line[i]), l = hexValue(line[i + 1]);
        if (h < 0 || l < 0)
            return r;
        b.push_back(h * 16 + l);
    }
    int sum = 0;
    for (const int v : b)
        sum += v;
    if (sum % 256 != 0 || static_cast<int>(b.size()) != 5 + b[0])
        return r;
    r.count = b[0];
    r.address = static_cast<unsigned>(b[1] * 256 + b[2]);
    r.type = b[3];
    r.data.assign(b.begin() + 4, b.end() - 1);
    return r;
}

void checkAccepted(const ByteLines& lines)
{
    const int n = lines.size();
    FUZZ_CHECK(n >= 1 && lines.view(n - 1).isEmpty());
    int endAt = -1, configAddressAt = -1;
    for (int i = 0; i + 1 < n; ++i) {
        const QByteArrayView line = lines.view(i);
        FUZZ_CHECK(!line.isEmpty());
        if (endAt >= 0) {
            FUZZ_CHECK(line[0] == ';');
            for (const char c : line)
                FUZZ_CHECK(c >= 0x20 && c < 0x7F && c != ':');
            continue;
        }
        const Record r = readRecord(line);
        FUZZ_CHECK(r.type == 0 || r.type == 1 || r.type == 4);
        if (r.type == 1)
            endAt = i;
        if (line == QByteArrayView(kConfigAddressRecord)) {
            FUZZ_CHECK(configAddressAt < 0);
            configAddressAt = i;
        }
    }
    FUZZ_CHECK(endAt >= 0);
    FUZZ_CHECK(configAddressAt >= 0 && configAddressAt + 1 < endAt);
    const Record config = readRecord(lines.view(configAddressAt + 1));
    FUZZ_CHECK(config.type == 0 && config.address >= 0xAFF0 && config.address + config.count <= 0xB000);

    // As the transfer sends it: program data, each byte address once.
    unsigned upper = 0;
    std::vector<bool> written(0x2B000, false);
    for (int k = 0; k < config.count; ++k) {
        FUZZ_CHECK(!written[0x20000 + config.address + static_cast<unsigned>(k)]);
        written[0x20000 + config.address + static_cast<unsigned>(k)] = true;
    }
    unsigned programBytes = 0;
    for (int i = 0; i < endAt; ++i) {
        if (i == configAddressAt || i == configAddressAt + 1)
            continue;
        const Record r = readRecord(lines.view(i));
        if (r.type == 4) {
            FUZZ_CHECK(r.count == 2 && r.address == 0);
            upper = static_cast<unsigned>(r.data[0] * 256 + r.data[1]);
        } else if (r.type == 0 && r.count > 0) {
            FUZZ_CHECK(upper <= 1);
            FUZZ_CHECK(r.address + static_cast<unsigned>(r.count) <= 0x10000);
            for (int k = 0; k < r.count; ++k) {
                const unsigned a = (upper << 16) + r.address + static_cast<unsigned>(k);
                FUZZ_CHECK(!written[a]);
                written[a] = true;
            }
            programBytes += static_cast<unsigned>(r.count);
        }
    }
    FUZZ_CHECK(programBytes > 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    folder = new QTemporaryDir;
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text = bytes(data, size);
    const ByteLines lines = splitHexText(text);
    const int n = lines.size();
    FUZZ_CHECK(n >= 1 && lines.view(n - 1).isEmpty());
    QByteArray joined;
    for (int i = 0; i + 1 < n; ++i) {
        if (i > 0)
            joined += '\n';
        joined += lines.view(i);
    }
    QByteArray normal = text;
    normal.replace("\r\n", "\n");
    if (normal.endsWith('\r'))
        normal.chop(1);
    if (normal.endsWith('\n'))
        normal.chop(1);
    FUZZ_CHECK(joined == normal);

    const std::optional<HexProblem> problem = checkLoaderImage(lines);
    if (problem)
        FUZZ_CHECK(problem->line >= 1 && problem->line <= n && !problem->what.isEmpty());
    else
        checkAccepted(lines);

    const QString path = folder->filePath(QStringLiteral("input.hex"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(text) == text.size());
    }
    const HexFileResult read = loadHexFile(path);
    FUZZ_CHECK(read.error.isEmpty() == !problem);
    if (!problem)
        FUZZ_CHECK(read.lines == lines);
    else
        FUZZ_CHECK(read.lines.size() == 0);
    return 0;
}
