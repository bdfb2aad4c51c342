#include "settings/CommandText.h"

#include "link/Protocol.h"
#include "link/LinkState.h"

#include <limits>
#include <stdexcept>

namespace zelt {

namespace {

[[noreturn]] void invalidInteger(const QString& text)
{
    throw std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
}

// Codes of the sampling rows that can be sent, "8Hz" to "1mTRC".
constexpr char kSendableSamplingCodes[] = "23456789ABCDEF";

QString digits(long long value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace

QString trimRightText(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.left(end);
}

int parseInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        invalidInteger(text);
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            invalidInteger(text);
        value = value * 10 + (c - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            invalidInteger(text);
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        invalidInteger(text);
    return static_cast<int>(value);
}

QString formatSignedTwoDigits(const QString& editText)
{
    // Wide arithmetic: the magnitude of the most negative value fits.
    long long n = parseInteger(trimRightText(editText));
    QString parameter;
    if (n < 0) {
        parameter = QStringLiteral("-");
        n = -n;
    }
    return parameter + QString::number(n / 10) + QString::number(n % 10);
}

QString toggleParameter(const QString& editText)
{
    return trimRightText(editText) == QStringLiteral("ON") ? QStringLiteral("00") : QStringLiteral("01");
}

QString rawParameter(const QString& editText)
{
    return trimRightText(editText);
}

QString formatRecordDigits(const QString& editText)
{
    const QString text = trimRightText(editText);
    const int v = parseInteger(text);
    if (v < 0)
        throw std::runtime_error(QStringLiteral("'%1' is not a valid record value").arg(text).toStdString());
    return QString::number(v / 1000) + QString::number((v / 100) % 10);
}

char samplingCodeFor(const QString& text)
{
    for (const char code : kSendableSamplingCodes) {
        if (code != '\0' && samplingTextFor(code) == text)
            return code;
    }
    return '0';
}

int intervalIndexForText(const QString& text)
{
    for (int i = 0; i < 15; ++i) {
        if (QString::fromLatin1(intervalTextFor(i)) == text)
            return i;
    }
    return -1;
}

int nextIntervalIndex(int index)
{
    const int next = index + 1;
    if (next == 9 || next < 0 || next > 14)
        return 0;
    return next;
}

QString formatIdValue(const QString& editText)
{
    int v = editText.isEmpty() ? 0 : parseInteger(editText);
    if (v < 0 || v > 255)
        v = 0;
    return digits(v, 3);
}

QString formatWaitValue(const QString& editText)
{
    int v = editText.isEmpty() ? 0 : parseInteger(editText);
    if (v < 0 || v > 99)
        v = 0;
    return digits(v, 2);
}

int countsPerGForRange(const QString& text)
{
    switch (parseInteger(text)) {
    case 0: return 1;
    case 1: return 100;
    case 2: return 50;
    case 10: return 10;
    case 20: return 5;
    case 50: return 2;
    default: return 10;
    }
}

QString configFileName(const QString& loggerId)
{
    return QStringLiteral("Config-zelt") + loggerId + QStringLiteral(".txt");
}

}  // namespace zelt
