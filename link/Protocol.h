#pragma once
// Rules of the line protocol that need no widget: safe access to the fields
// of a report line, and the code tables of the settings report.
#include <QByteArray>
#include <QString>
#include <optional>

namespace zelt {

constexpr char kEnq = 0x05;  // the logger's enquiry
constexpr char kAck = 0x06;  // the tool's answer to it
constexpr char kEndMark = '#';

// A received line (without its end) with position-safe reads: a position
// outside the line reads as '\0' and texts from such a position are empty.
class ReportLine {
public:
    ReportLine(const char* text, int length) : text_(text), length_(length < 0 ? 0 : length) {}

    int length() const { return length_; }
    char at(int i) const { return i >= 0 && i < length_ ? text_[i] : '\0'; }
    // Characters from position i to the end of the line.
    QByteArray from(int i) const;
    // Characters i .. end-1.
    QByteArray mid(int i, int end) const;
    // Index of the first c at index 1 or later, -1 when there is none.
    int find(char c) const;
    int equalsPos() const { return find('='); }  // e
    int blankPos() const { return find(' '); }   // b
    // The three characters at p, p+3 and p+4 (a sign and the last two digits of a value).
    QByteArray valueAt(int p) const;

private:
    const char* text_;
    int length_;
};

// Text shown for a sampling code of the '@I' line.
QString samplingTextFor(char code);
// Sampling codes 'A'..'F' carry thousandths in their records.
bool isFastSamplingCode(char code);

// Range codes of the '@T' line: counts per G and the range box text, or
// nullopt when the codes leave both unchanged.
struct RangeSetting {
    int countsPerG;
    const char* text;
};
std::optional<RangeSetting> rangeFor(char c1, char c2);

// Index of a recording-interval code, -1 when it is not one.
int intervalIndexOf(char code);

// The record count of the '@C' line: the first blank-delimited word after
// '=' (leading blanks skipped) and the text after it and its blanks.
struct CountField {
    QByteArray number;
    QByteArray rest;
};
CountField countField(const ReportLine& line);

// Leading decimal integer of a text (optional sign, then digits); 0 when it
// has none. Never fails.
int leadingInteger(const QByteArray& text);

}  // namespace zelt
