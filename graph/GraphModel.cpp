#include "graph/GraphModel.h"

#include <algorithm>
#include <cstdlib>

namespace zelt {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The date and time layout "YYYY/MM/DD hh:mm:ss.mmm," that a sample line
// carries; the year is not read.
bool hasSampleLayout(QByteArrayView line)
{
    if (line.size() < 24)
        return false;
    static const int digits[] = {5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20, 21, 22};
    for (int i : digits)
        if (!isDigit(line[i]))
            return false;
    return line[7] == '/' && line[10] == ' ' && line[13] == ':' && line[16] == ':' && line[19] == '.' &&
           line[23] == ',';
}

// Characters pos .. pos + n - 1 of text, as far as text reaches.
QByteArrayView part(QByteArrayView text, qsizetype pos, qsizetype n = -1)
{
    if (pos >= text.size() || pos < 0)
        return {};
    const qsizetype left = text.size() - pos;
    return text.sliced(pos, n < 0 || n > left ? left : n);
}

int twoDigits(QByteArrayView text, int at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); }

}  // namespace

int readWholeNumber(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), 2147483647);
    return static_cast<int>(negative ? -value : value);
}

void parseRecording(const ByteLines& lines, int count, GraphSampleTable& t)
{
    const int rows = std::max(count, GraphSampleTable::kMinRows);
    t.lines = lines;
    t.timeMs.assign(rows, 0);
    for (auto* column : {&t.x, &t.y, &t.z, &t.temperature, &t.humidity})
        column->assign(rows, 0);
    t.sample.assign(rows, false);
    t.nextSample.assign(rows, -1);
    t.previousSample.assign(rows, -1);
    t.backStepCount = 0;
    t.firstText.clear();
    t.lastText.clear();

    const int end = std::min({count - 3, lines.size(), rows});
    t.lastRow = std::max(t.firstRow, end) - 1;
    std::int64_t dayOffset = 0;
    int previousDay = -1;
    std::int64_t previousTime = 0;
    int previousRow = -1;
    QByteArrayView lastSampleText;
    for (int i = t.firstRow; i < end; ++i) {
        const QByteArrayView line = lines.view(i);
        t.previousSample[i] = previousRow;
        if (!hasSampleLayout(line)) {
            t.timeMs[i] = previousTime;
            continue;
        }
        const QByteArrayView r = part(line, 5);
        const int day = twoDigits(r, 3);
        if (previousDay >= 0 && day != previousDay)
            dayOffset += 86400000;
        previousDay = day;
        if (t.firstText.isEmpty())
            t.firstText = QString::fromLatin1(part(r, 0, 14));
        t.timeMs[i] = twoDigits(r, 12) * 1000 + readWholeNumber(part(r, 15, 3)) + twoDigits(r, 9) * 60000 +
                      twoDigits(r, 6) * 3600000LL + dayOffset;
        if (previousRow >= 0 && t.timeMs[i] < previousTime)
            ++t.backStepCount;
        previousTime = t.timeMs[i];
        t.sample[i] = true;
        // Every row since the last sample (markers included) leads to this one.
        for (int k = std::max(previousRow, t.firstRow); k < i; ++k)
            t.nextSample[k] = i;
        previousRow = i;

        lastSampleText = part(r, 0, 14);
        std::int32_t* columns[] = {&t.x[i], &t.y[i], &t.z[i], &t.temperature[i], &t.humidity[i]};
        const QByteArrayView fields = part(r, 19);
        qsizetype pos = 0;
        for (int f = 0; f < 5 && pos <= fields.size(); ++f) {
            qsizetype comma = fields.indexOf(',', pos);
            if (comma < 0)
                comma = fields.size();
            *columns[f] = readWholeNumber(part(fields, pos, std::min<qsizetype>(comma - pos, 7)));
            pos = comma + 1;
        }
    }
    t.lastText = QString::fromLatin1(lastSampleText);

    t.blocks.assign(static_cast<size_t>(rows / GraphSampleTable::kBlockRows), GraphSampleTable::Block{});
    for (size_t b = 0; b < t.blocks.size(); ++b) {
        GraphSampleTable::Block& block = t.blocks[b];
        const int first = static_cast<int>(b) * GraphSampleTable::kBlockRows;
        const int last = first + GraphSampleTable::kBlockRows - 1;
        if (first < t.firstRow || last > t.lastRow)
            continue;
        const std::vector<std::int32_t>* columns[5] = {&t.temperature, &t.humidity, &t.x, &t.y, &t.z};
        bool clean = true;
        int withHumidity = 0;
        for (int k = first; k <= last && clean; ++k) {
            clean = t.sample[k] && (k == first || (t.timeMs[k] >= t.timeMs[k - 1] && t.timeMs[k] - t.timeMs[k - 1] < kTraceGapMs));
            withHumidity += t.humidity[k] != 0 ? 1 : 0;
            if (k > first)
                block.longestStepMs = std::max(block.longestStepMs, t.timeMs[k] - t.timeMs[k - 1]);
        }
        block.clean = clean && (withHumidity == 0 || withHumidity == GraphSampleTable::kBlockRows);
        block.humidity = withHumidity == GraphSampleTable::kBlockRows;
        for (int c = 0; c < 5; ++c) {
            const auto range = std::minmax_element(columns[c]->begin() + first, columns[c]->begin() + last + 1);
            block.low[c] = *range.first;
            block.high[c] = *range.second;
        }
    }
}

QByteArray GraphSampleTable::timeText(int row) const
{
    if (!isSample(row))
        return {};
    return part(lines.view(row), 5, 18).toByteArray();
}

int nearestSample(const GraphSampleTable& t, std::int64_t timeMs)
{
    if (!t.hasRows())
        return -1;
    int best = -1;
    std::int64_t bestDistance = 0;
    const auto consider = [&](int row) {
        if (row < 0 || !t.isSample(row))
            return;
        const std::int64_t d = std::abs(t.timeMs[row] - timeMs);
        if (best < 0 || d < bestDistance || (d == bestDistance && row < best)) {
            best = row;
            bestDistance = d;
        }
    };
    if (t.backStepCount == 0) {
        // Rows that are no sample carry the time of the sample before them,
        // so the times never fall: the first row at or after timeMs and the
        // sample before it are the candidates.
        const auto begin = t.timeMs.begin() + t.firstRow;
        const auto end = t.timeMs.begin() + t.lastRow + 1;
        const int at = static_cast<int>(std::lower_bound(begin, end, timeMs) - t.timeMs.begin());
        if (at <= t.lastRow)
            consider(t.isSample(at) ? at : t.nextSample[at]);
        consider(at - 1 >= t.firstRow ? (t.isSample(at - 1) ? at - 1 : t.previousSample[at - 1]) : -1);
        // Equal times before the one found: the earliest of them.
        while (best > t.firstRow && t.previousSample[best] >= 0 && t.timeMs[t.previousSample[best]] == t.timeMs[best])
            best = t.previousSample[best];
        return best;
    }
    for (int row = t.firstRow; row <= t.lastRow; ++row)
        consider(row);
    return best;
}

std::pair<int, int> sampleTimeExtremes(const GraphSampleTable& t)
{
    int first = -1, last = -1;
    for (int row = t.firstRow; row <= t.lastRow; ++row) {
        if (!t.isSample(row))
            continue;
        if (first < 0 || t.timeMs[row] < t.timeMs[first])
            first = row;
        if (last < 0 || t.timeMs[row] >= t.timeMs[last])
            last = row;
    }
    return {first, last};
}

int countsPerGFromHeader(QByteArrayView line0, int current)
{
    const qsizetype at = part(line0, 0, 50).indexOf('@', 4);
    if (at < 0 || at >= 20)
        return current;
    const QByteArrayView number = part(line0, at + 4, 3);
    if (number.isEmpty() || !isDigit(number[0]))
        return current;
    const int value = readWholeNumber(number);
    return value > 0 ? value : current;
}

QByteArray graphRecordLine(QByteArrayView line)
{
    QByteArray out = line.toByteArray();
    if (out.size() <= 24 || out[24] != ',')
        return out;
    const auto digitsAt = [&out](std::initializer_list<int> positions) {
        for (int i : positions)
            if (!isDigit(out[i]))
                return false;
        return true;
    };
    if (out[19] == '.' && digitsAt({20, 21, 22, 23})) {
        // A four-digit fraction: the character at index 22 goes, so the
        // line keeps its comma at index 23 as a three-digit one has it.
        out.remove(22, 1);
    } else if (out[13] == ':' && out[16] == ':' && out[20] == '.' && digitsAt({11, 12, 14, 15, 17, 18, 19, 21, 22, 23})) {
        // A capture listing counts its seconds on past 99 ("09:00:125.005"):
        // they are carried into the minutes and hours (hours may pass 23,
        // which keeps the time running on past midnight).
        const int seconds = (out[17] - '0') * 100 + (out[18] - '0') * 10 + (out[19] - '0');
        const int minutes = twoDigits(out, 14) + seconds / 60;
        const int hours = std::min(99, twoDigits(out, 11) + minutes / 60);
        const QByteArray time = QStringLiteral("%1:%2:%3")
                                    .arg(hours, 2, 10, QLatin1Char('0'))
                                    .arg(minutes % 60, 2, 10, QLatin1Char('0'))
                                    .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                                    .toLatin1();
        out.replace(11, 9, time);
    }
    return out;
}

bool needsGraphRewrite(QByteArrayView line)
{
    // Only a line with its comma at index 24 can change.
    return line.size() > 24 && line[24] == ',' && graphRecordLine(line) != line;
}

std::optional<TimeBaseItem> timeBaseItem(const QString& item)
{
    struct Row {
        const char* text;
        int value;
        int numerator;
    };
    static const Row rows[] = {
        {"0.01秒", 100, 100},  {"0.1秒", 1000, 100},     {"0.2秒", 2000, 100},     {"0.5秒", 5000, 100},
        {"秒", 10000, 100},    {"10秒", 1000, 1},        {"30秒", 3000, 1},        {"分", 6000, 1},
        {"10分", 60000, 1},    {"30分", 180000, 1},      {"時間", 360000, 1},      {"2時間", 720000, 1},
        {"3時間", 1080000, 1}, {"6時間", 2160000, 1},    {"12時間", 4320000, 1},   {"日", 8640000, 1},
    };
    for (const Row& row : rows)
        if (item == QString::fromUtf8(row.text))
            return TimeBaseItem{row.value, row.numerator, 10};
    return std::nullopt;
}

QString gLabel(int v, int countsPerG)
{
    const int s = std::max(1, countsPerG);
    const int quotient = -v / s;
    if (s <= 10)
        return QString::number(quotient) + QLatin1Char('G');
    const QString fraction = QString::number((std::abs(v) % s) * (1000 / s)).left(2);
    const QString sign = quotient == 0 && v > 0 ? QStringLiteral("-") : QString();
    return sign + QString::number(quotient) + QLatin1Char('.') + fraction + QLatin1Char('G');
}

QString temperatureLabel(int v)
{
    return QString::number(-v) + QString::fromUtf8("℃");
}

void computeIntervalStats(const GraphSampleTable& t, int start, int end, int axis, const QString& meanOverride,
                          IntervalStats& stats)
{
    const std::vector<std::int32_t>& values = axis == 1 ? t.y : axis == 2 ? t.z : t.x;
    std::int64_t sum = 0;
    int n = 0;
    int maxA = 0;
    int minA = 0;
    const int from = std::max(start, 0);
    const int to = std::min(end, t.rows());
    for (int k = from; k < to; ++k) {
        if (!t.sample[k])
            continue;
        const int a = static_cast<int>(std::clamp<std::int64_t>(100LL * values[k], -2147483600LL, 2147483600LL));
        if (n == 0)
            maxA = minA = a;
        maxA = std::max(maxA, a);
        minA = std::min(minA, a);
        sum += a;
        ++n;
    }
    bool overrideOk = true;
    int overrideValue = 0;
    if (meanOverride != QStringLiteral("VOID"))
        overrideValue = meanOverride.trimmed().toInt(&overrideOk);
    stats.meanNote = overrideOk ? QString()
                                : QStringLiteral("平均値指定 \"%1\" は整数でないため無視").arg(meanOverride);
    stats.statsMean = 0;
    if (n <= 0)
        return;
    int mean = static_cast<int>(sum / n);
    if (meanOverride != QStringLiteral("VOID") && overrideOk && overrideValue > -20 && overrideValue < 20)
        mean = 100 * overrideValue;
    stats.statsCount = n;
    stats.statsMax = maxA / 100;
    stats.statsMin = minA / 100;
    stats.statsMean = mean / 100;
}

QSize printedSize(QSize image, int dpiX, int dpiY, QSize page)
{
    const std::int64_t w = std::int64_t(image.width()) * dpiX / 96;
    const std::int64_t h = std::int64_t(image.height()) * dpiY / 96;
    if (page.isEmpty() || w <= 0 || h <= 0 || (w <= page.width() && h <= page.height()))
        return QSize(static_cast<int>(w), static_cast<int>(h));
    // Scale by the tighter of the two limits: w / h stays as it was.
    if (w * page.height() >= h * page.width())
        return QSize(page.width(), static_cast<int>(h * page.width() / w));
    return QSize(static_cast<int>(w * page.height() / h), page.height());
}

IntervalAnalysis analyseInterval(const GraphSampleTable& t, int first, int last, int countsPerG)
{
    IntervalAnalysis r;
    const double perG = std::max(1, countsPerG);
    std::vector<double> values[3];
    std::vector<std::int64_t> times;
    std::vector<int> rows;
    for (int k = std::max(first, t.firstRow); k <= std::min(last, t.lastRow); ++k) {
        if (!t.isSample(k))
            continue;
        values[0].push_back(t.x[k] / perG);
        values[1].push_back(t.y[k] / perG);
        values[2].push_back(t.z[k] / perG);
        times.push_back(t.timeMs[k]);
        rows.push_back(k);
    }
    r.count = rows.size();
    if (rows.empty())
        return r;
    r.firstRow = rows.front();
    r.lastRow = rows.back();
    for (int a = 0; a < 3; ++a)
        r.axis[a] = seriesStats(values[a].data(), values[a].size());
    const MagnitudePeak peak = magnitudePeak(values[0].data(), values[1].data(), values[2].data(), rows.size());
    r.peakMagnitude = peak.value;
    r.peakMagnitudeRow = peak.index >= 0 ? rows[static_cast<size_t>(peak.index)] : -1;
    r.intervalSeconds = regularSamplingInterval(times.data(), times.size());
    if (r.intervalSeconds)
        for (int a = 0; a < 3; ++a)
            r.spectrum[a] = amplitudeSpectrum(values[a].data(), values[a].size(), *r.intervalSeconds);
    return r;
}

}  // namespace zelt
