#include "firmware/HexFile.h"

#include "data/Hex.h"
#include "platform/Printable.h"
#include "platform/FileErrors.h"
#include "platform/LineFiles.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace zelt {

namespace {

QString hex(unsigned value, int digits)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString shown(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x21 && u < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("byte %1").arg(hex(u, 2));
}

// Program data: byte addresses below this (upper addresses 0 and 1).
constexpr unsigned kProgramEnd = 0x20000;
// The configuration words.
constexpr unsigned kConfigStart = 0x2AFF0;
constexpr unsigned kConfigEnd = 0x2B000;

QString tooLongLine(qsizetype length)
{
    return QStringLiteral("%1 characters long; a record is at most %2 (a line this long is no Intel HEX)")
        .arg(length)
        .arg(kMaxHexLineLength);
}

QString openProblem(FileProblem problem)
{
    switch (problem) {
    case FileProblem::NotFound: return QStringLiteral("no such file");
    case FileProblem::FolderNotFound: return QStringLiteral("no such folder");
    case FileProblem::IsFolder: return QStringLiteral("it is a folder");
    case FileProblem::AccessDenied: return QStringLiteral("permission denied");
    case FileProblem::NotOrdinary: return QStringLiteral("it is not an ordinary file (a pipe or a device is not read)");
    default: return QStringLiteral("it cannot be opened");
    }
}

}  // namespace

ByteLines splitHexText(QByteArrayView text)
{
    ByteLines out;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype lf = text.indexOf('\n', start);
        if (lf < 0)
            lf = text.size();
        qsizetype end = lf;
        if (end > start && text[end - 1] == '\r')
            --end;
        out.append(text.sliced(start, end - start));
        start = lf + 1;
    }
    if (!out.view(out.size() - 1).isEmpty())
        out.append(QByteArrayView());
    return out;
}

std::optional<HexProblem> checkLoaderImage(const ByteLines& lines)
{
    const auto problem = [](int index, const QString& what) { return HexProblem{index + 1, what}; };
    unsigned upper = 0;
    int configAddressAt = -1;  // index of ":020000040002F8"
    int configAt = -1;         // index of the configuration-word record
    int endAt = -1;            // index of the end-of-file record
    const int last = lines.size() - 1;
    // The byte addresses written so far, and by which record.
    std::vector<bool> written(kConfigEnd, false);
    struct Span {
        unsigned from, to;
        int index;
    };
    std::vector<Span> spans;
    unsigned programBytes = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArrayView line = lines.view(i);
        if (line.size() > kMaxHexLineLength)
            return problem(i, tooLongLine(line.size()));
        if (line.isEmpty()) {
            if (i == last)
                break;
            return problem(i, QStringLiteral("empty line (only the last line may be empty)"));
        }
        if (line[0] == ';') {
            if (endAt < 0)
                return problem(i, QStringLiteral("comment before the end-of-file record"));
            for (qsizetype k = 1; k < line.size(); ++k) {
                const auto u = static_cast<unsigned char>(line[k]);
                if (u == ':')
                    return problem(i, QStringLiteral("comment holds ':', which the loader would take for a record"));
                if (u < 0x20 || u >= 0x7F)
                    return problem(i, QStringLiteral("comment holds %1, not printable ASCII").arg(shown(line[k])));
            }
            continue;
        }
        if (endAt >= 0)
            return problem(i, QStringLiteral("record after the end-of-file record"));
        if (line[0] != ':')
            return problem(i, QStringLiteral("begins with %1, not ':' (record) or ';' (comment)").arg(shown(line[0])));

        std::vector<unsigned> bytes;
        for (qsizetype k = 1; k < line.size(); ++k) {
            if (line[k] >= 'a' && line[k] <= 'f')
                return problem(i, QStringLiteral("lower-case hexadecimal digit '%1' in column %2 (the loader takes upper case)")
                                      .arg(QLatin1Char(line[k]))
                                      .arg(k + 1));
            if (hexDigitValue(line[k]) < 0)
                return problem(i, QStringLiteral("%1 in column %2 is not a hexadecimal digit").arg(shown(line[k])).arg(k + 1));
        }
        if ((line.size() - 1) % 2 != 0)
            return problem(i, QStringLiteral("odd number of hexadecimal digits"));
        for (qsizetype k = 1; k < line.size(); k += 2)
            bytes.push_back(static_cast<unsigned>(hexDigitValue(line[k]) * 16 + hexDigitValue(line[k + 1])));
        if (bytes.size() < 5)
            return problem(i, QStringLiteral("too short for a record"));
        const unsigned count = bytes[0];
        if (bytes.size() != count + 5)
            return problem(i, QStringLiteral("byte count %1 does not match the %2 data bytes on the line")
                                  .arg(hex(count, 2))
                                  .arg(bytes.size() - 5));
        unsigned sum = 0;
        for (std::size_t k = 0; k + 1 < bytes.size(); ++k)
            sum += bytes[k];
        const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
        if (bytes.back() != expected)
            return problem(i, QStringLiteral("checksum %1 is wrong (the record's bytes give %2)")
                                  .arg(hex(bytes.back(), 2))
                                  .arg(hex(expected, 2)));
        const unsigned address = bytes[1] * 256 + bytes[2];
        const unsigned type = bytes[3];

        // The record the transfer leaves out with ":020000040002F8" must be
        // the configuration words and nothing else.
        const bool afterConfigAddress = configAddressAt >= 0 && i == configAddressAt + 1;
        switch (type) {
        case 0x00: {
            const unsigned absolute = (upper << 16) + address;
            if (count == 0)
                return problem(i, QStringLiteral("data record without data"));
            if (address + count > 0x10000)
                return problem(i, QStringLiteral("record at %1 crosses a 64 KB boundary").arg(hex(absolute, 5)));
            if (upper < 2) {
                if (absolute + count > kProgramEnd)
                    return problem(i, QStringLiteral("address %1 is outside the program memory").arg(hex(absolute, 5)));
                programBytes += count;
            } else {
                if (!afterConfigAddress || absolute < kConfigStart || absolute + count > kConfigEnd)
                    return problem(i, QStringLiteral("address %1 is outside the program memory the loader writes "
                                                     "(0x00000-0x1FFFF, and the configuration words at 0x2AFF0-0x2AFFF "
                                                     "directly after %2)")
                                          .arg(hex(absolute, 5))
                                          .arg(QLatin1String(kConfigAddressRecord)));
                configAt = i;
            }
            for (unsigned a = absolute; a < absolute + count; ++a) {
                if (!written[a])
                    continue;
                // Which record wrote it first (looked up only for the report).
                const auto first = std::find_if(spans.begin(), spans.end(),
                                                 [a](const Span& s) { return a >= s.from && a < s.to; });
                return problem(i, QStringLiteral("address %1 is written twice: line %2 wrote it already "
                                                 "(overlapping records)")
                                      .arg(hex(a, 5))
                                      .arg(first == spans.end() ? 0 : first->index + 1));
            }
            std::fill(written.begin() + absolute, written.begin() + absolute + count, true);
            spans.push_back({absolute, absolute + count, i});
            break;
        }
        case 0x01:
            if (afterConfigAddress)
                return problem(i, QStringLiteral("the configuration words must follow %1 directly")
                                      .arg(QLatin1String(kConfigAddressRecord)));
            if (count != 0)
                return problem(i, QStringLiteral("end-of-file record carries data"));
            if (configAt < 0)
                return problem(i, QStringLiteral("no configuration words (%1 and the record at 0x2AFF0) before the "
                                                 "end-of-file record")
                                      .arg(QLatin1String(kConfigAddressRecord)));
            if (programBytes == 0)
                return problem(i, QStringLiteral("no program data before the end-of-file record: the logger's "
                                                 "program would be erased and nothing written in its place"));
            endAt = i;
            break;
        case 0x04: {
            if (afterConfigAddress)
                return problem(i, QStringLiteral("the configuration words must follow %1 directly")
                                      .arg(QLatin1String(kConfigAddressRecord)));
            if (count != 2 || address != 0)
                return problem(i, QStringLiteral("extended linear address record must carry 2 bytes at address 0000"));
            const unsigned value = bytes[4] * 256 + bytes[5];
            if (value > 2)
                return problem(i, QStringLiteral("extended address %1 is beyond the program memory (0x0000-0x0002)")
                                      .arg(hex(value, 4)));
            if (value == 2) {
                if (configAddressAt >= 0)
                    return problem(i, QStringLiteral("second %1 (the transfer leaves out the record after each)")
                                          .arg(QLatin1String(kConfigAddressRecord)));
                configAddressAt = i;
            }
            upper = value;
            break;
        }
        default:
            return problem(i, QStringLiteral("record type %1 is not one the loader takes "
                                             "(00 data, 01 end of file, 04 extended linear address)")
                                  .arg(hex(type, 2)));
        }
    }
    if (endAt < 0)
        return problem(last, QStringLiteral("the file ends without the end-of-file record :00000001FF"));
    return std::nullopt;
}

HexFileResult loadHexFile(const QString& path)
{
    HexFileResult result;
    const QString name = QFileInfo(path).fileName();
    QFile file;
    try {
        // Only an ordinary file: a pipe would hold the tool until written to.
        openOrdinaryFile(file, path);
    } catch (const FileError& e) {
        result.error = QStringLiteral("The firmware file %1 cannot be read: %2").arg(name, openProblem(e.problem()));
        return result;
    }
    if (file.size() > kMaxHexFileBytes) {
        result.error = QStringLiteral("The firmware file %1 is not loaded: at %2 bytes it is too large for the logger's "
                                      "firmware.")
                           .arg(name)
                           .arg(file.size());
        return result;
    }
    // Read in pieces and cut at LF as splitHexText cuts; a line longer than
    // a record (with its CR) ends the reading there.
    ByteLines lines;
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    QByteArray line;
    line.reserve(kMaxHexLineLength + 2);
    qint64 total = 0;
    const auto tooLong = [&](qsizetype length) {
        result.error = QStringLiteral("The firmware file %1 is not loaded; nothing was sent.\n%2")
                           .arg(name, HexProblem{lines.size() + 1, tooLongLine(length)}.describe());
        return result;
    };
    for (;;) {
        const qint64 n = file.read(piece.data(), piece.size());
        if (n < 0) {
            result.error = QStringLiteral("The firmware file %1 cannot be read: %2").arg(name, file.errorString());
            return result;
        }
        if (n == 0)
            break;
        total += n;
        if (total > kMaxHexFileBytes) {
            result.error = QStringLiteral("The firmware file %1 is not loaded: it is too large for the logger's "
                                          "firmware.")
                               .arg(name);
            return result;
        }
        QByteArrayView rest(piece.constData(), n);
        while (!rest.isEmpty()) {
            const qsizetype lf = rest.indexOf('\n');
            const QByteArrayView part = lf < 0 ? rest : rest.first(lf);
            if (line.size() + part.size() > kMaxHexLineLength + 1)  // one CR may follow a record
                return tooLong(line.size() + part.size() - (lf >= 0 && part.endsWith('\r') ? 1 : 0));
            line.append(part);
            if (lf < 0)
                break;
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > kMaxHexLineLength)
                return tooLong(line.size());
            lines.append(QByteArrayView(line));
            line.resize(0);
            rest = rest.sliced(lf + 1);
        }
    }
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > kMaxHexLineLength)
        return tooLong(line.size());
    lines.append(QByteArrayView(line));
    if (!lines.view(lines.size() - 1).isEmpty())
        lines.append(QByteArrayView());
    if (const std::optional<HexProblem> p = checkLoaderImage(lines)) {
        result.error = QStringLiteral("The firmware file %1 is not loaded; nothing was sent.\n%2")
                           .arg(name, p->describe());
        const QByteArrayView bad = lines.view(p->line - 1);
        if (!bad.isEmpty())
            result.error += QStringLiteral("\n%1").arg(printableBytes(bad.first(std::min<qsizetype>(bad.size(), 60))) +
                                                       (bad.size() > 60 ? QStringLiteral("...") : QString()));
        return result;
    }
    result.lines = std::move(lines);
    return result;
}

}  // namespace zelt
