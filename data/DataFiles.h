#pragma once
// What a file chosen with "FILE" holds, looked at before it replaces the log
// memo. A recording begins with its "Start Year=" or "Start Time=" line; the
// memo is the log too, so other text files (a configuration saved with
// "SAV") may be loaded as well, but only once the user has been told what
// the file is and has agreed.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zelt {

class Dialogs;

enum class DataFileKind {
    Recording,     // the first line begins with "Start"
    Empty,         // no bytes at all
    Binary,        // NUL bytes, or mostly bytes that are no CP932 text
    NotRecording,  // text whose first line does not begin with "Start"
};

// How many bytes of a file are looked at.
constexpr qsizetype kDataFileHeadBytes = 64 * 1024;

// True when a data set's first line marks it as a recording.
bool isRecordingHeader(QByteArrayView firstLine);

// The kind of a file, from its first bytes (at most kDataFileHeadBytes).
DataFileKind inspectDataFile(QByteArrayView head);

// The first bytes of a file; throws FileError when it cannot be opened or read.
QByteArray readFileHead(const QString& path, qsizetype maxBytes = kDataFileHeadBytes);

// The question put to the user for a file of this kind that is no recording:
// names the file, says what is wrong and asks whether to load it anyway.
QString loadAnywayQuestion(DataFileKind kind, const QString& path);

// Looks at the file at path: true when it is a recording, or when the user
// answers Yes to loading a file that is not. Throws FileError when the file
// cannot be read.
bool confirmDataFile(Dialogs& dialogs, const QString& path);

}  // namespace zelt
