#include "data/DataFiles.h"

#include "platform/Dialogs.h"
#include "platform/FileErrors.h"
#include "platform/LineFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zelt {

namespace {

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The bytes of head that cannot be CP932 text: control characters other
// than tab, line ends and form feed, and bytes above 0x7F that are neither
// half-width katakana nor part of a double-byte character. A lead byte cut
// off by the end of head counts as text.
qsizetype nonTextBytes(QByteArrayView head)
{
    qsizetype bad = 0;
    for (qsizetype i = 0; i < head.size(); ++i) {
        const auto c = static_cast<unsigned char>(head[i]);
        if (c < 0x20) {
            if (c != '\t' && c != '\n' && c != '\r' && c != '\f')
                ++bad;
        } else if (c == 0x7F) {
            ++bad;
        } else if (isLeadByte(c)) {
            if (i + 1 == head.size())
                break;
            if (isTrailByte(static_cast<unsigned char>(head[i + 1])))
                ++i;
            else
                ++bad;  // the lone 0x81 of an irregular record is one such byte a line
        } else if (c >= 0x80 && !(c >= 0xA1 && c <= 0xDF)) {
            ++bad;
        }
    }
    return bad;
}

}  // namespace

bool isRecordingHeader(QByteArrayView firstLine) { return firstLine.startsWith("Start"); }

DataFileKind inspectDataFile(QByteArrayView head)
{
    if (head.isEmpty())
        return DataFileKind::Empty;
    // More than one byte in eight that is no text is no text file: a
    // recording has at most one such byte a line.
    if (head.contains('\0') || nonTextBytes(head) * 8 > head.size())
        return DataFileKind::Binary;
    qsizetype end = 0;
    while (end < head.size() && head[end] != '\r' && head[end] != '\n')
        ++end;
    return isRecordingHeader(head.first(end)) ? DataFileKind::Recording : DataFileKind::NotRecording;
}

QByteArray readFileHead(const QString& path, qsizetype maxBytes)
{
    QFile file;
    openOrdinaryFile(file, path);
    QByteArray head = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        throw fileError(FileAction::Read, path, file.error());
    return head;
}

QString loadAnywayQuestion(DataFileKind kind, const QString& path)
{
    QString what;
    switch (kind) {
    case DataFileKind::Empty:
        what = QStringLiteral("このファイルは空です。記録データではありません。");
        break;
    case DataFileKind::Binary:
        what = QStringLiteral("このファイルはテキストではありません（バイナリデータです）。記録データではありません。");
        break;
    case DataFileKind::NotRecording:
        what = QStringLiteral("このファイルは記録データではありません（1行目が「Start」で始まっていません）。");
        break;
    case DataFileKind::Recording:
        return {};
    }
    return QStringLiteral("%1\n%2\nログに読み込みますか？").arg(QDir::toNativeSeparators(path), what);
}

bool confirmDataFile(Dialogs& dialogs, const QString& path)
{
    const DataFileKind kind = inspectDataFile(readFileHead(path));
    return kind == DataFileKind::Recording || dialogs.question(loadAnywayQuestion(kind, path));
}

}  // namespace zelt
