#include "cli/Progress.h"

#include "platform/Printable.h"

#include <cmath>
#if defined(_WIN32)
#include <io.h>
#define ZELT_ISATTY _isatty
#define ZELT_FILENO _fileno
#else
#include <unistd.h>
#define ZELT_ISATTY isatty
#define ZELT_FILENO fileno
#endif

namespace zelt::cli {

Progress::Style Progress::styleFor(bool quiet)
{
    if (quiet)
        return Style::Quiet;
    return ZELT_ISATTY(ZELT_FILENO(stderr)) ? Style::Bar : Style::Lines;
}

QString Progress::barText(const QString& what, int done, int total, const QString& unit, double seconds)
{
    const double rate = seconds > 0 ? done / seconds : 0;
    QString text = QStringLiteral("%1 %2").arg(what).arg(done);
    if (total > 0) {
        const int width = 24;
        const double part = std::clamp(static_cast<double>(done) / total, 0.0, 1.0);
        const int filled = static_cast<int>(std::lround(part * width));
        text = QStringLiteral("%1 [%2%3] %4/%5 %6 %7%")
                   .arg(what)
                   .arg(QString(filled, QLatin1Char('#')))
                   .arg(QString(width - filled, QLatin1Char('.')))
                   .arg(done)
                   .arg(total)
                   .arg(unit)
                   .arg(static_cast<int>(std::floor(part * 100)));
        if (rate > 0 && done < total)
            text += QStringLiteral(", %1 s left").arg(static_cast<long long>(std::ceil((total - done) / rate)));
    } else {
        text += QLatin1Char(' ') + unit;
    }
    if (rate > 0)
        text += QStringLiteral(", %1 %2/s").arg(static_cast<long long>(std::lround(rate))).arg(unit);
    return text;
}

void Progress::begin(const QString& what, int total, const QString& unit)
{
    end();
    what_ = what;
    unit_ = unit;
    total_ = total;
    done_ = 0;
    open_ = true;
    since_.start();
    lastDrawMs_ = -1;
    update(0);
}

void Progress::update(int done)
{
    if (!open_ || style_ == Style::Quiet)
        return;
    done_ = done;
    const qint64 now = since_.elapsed();
    // A bar redraws at most ten times a second, a plain line every two seconds.
    const qint64 every = style_ == Style::Bar ? 100 : 2000;
    if (lastDrawMs_ >= 0 && now - lastDrawMs_ < every && done != total_)
        return;
    draw(now);
}

void Progress::draw(qint64 nowMs)
{
    lastDrawMs_ = nowMs;
    const QByteArray text = printable(barText(what_, done_, total_, unit_, nowMs / 1000.0)).toLocal8Bit();
    if (style_ == Style::Bar)
        std::fprintf(out_, "\r%s\033[K", text.constData());
    else
        std::fprintf(out_, "%s\n", text.constData());
    std::fflush(out_);
}

void Progress::end()
{
    if (!open_)
        return;
    open_ = false;
    if (style_ == Style::Quiet)
        return;
    // A plain line already said the last figure.
    if (style_ == Style::Lines && lastDrawMs_ >= 0 && done_ == total_)
        return;
    const QByteArray text = barText(what_, done_, total_, unit_, since_.elapsed() / 1000.0).toLocal8Bit();
    if (style_ == Style::Bar)
        std::fprintf(out_, "\r%s\033[K\n", text.constData());
    else
        std::fprintf(out_, "%s\n", text.constData());
    std::fflush(out_);
}

void Progress::note(const QString& text)
{
    end();
    if (style_ == Style::Quiet)
        return;
    std::fprintf(out_, "%s\n", printable(text).toLocal8Bit().constData());
    std::fflush(out_);
}

void Progress::interject(const QString& text)
{
    if (!open_) {
        note(text);
        return;
    }
    if (style_ == Style::Quiet)
        return;
    const QByteArray line = printable(text).toLocal8Bit();
    if (style_ == Style::Bar) {
        std::fprintf(out_, "\r%s\033[K\n", line.constData());
        draw(since_.elapsed());
    } else {
        std::fprintf(out_, "%s\n", line.constData());
        std::fflush(out_);
    }
}

}  // namespace zelt::cli
