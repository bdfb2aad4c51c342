#pragma once
// Progress on standard error: on a terminal a bar that redraws itself
// (count, rate and time left), otherwise a plain line now and then; nothing
// when quiet.
#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace zelt::cli {

class Progress {
public:
    enum class Style { Bar, Lines, Quiet };
    explicit Progress(Style style, std::FILE* out = stderr) : style_(style), out_(out) {}
    // The style for standard error: a bar on a terminal, lines otherwise.
    static Style styleFor(bool quiet);

    // A task with a known total (0 when unknown) counted in unit.
    void begin(const QString& what, int total, const QString& unit);
    void update(int done);
    void end();
    // A note on its own line (the bar is ended first).
    void note(const QString& text);
    // A note on its own line while the task goes on: the bar is drawn again
    // below it and keeps counting.
    void interject(const QString& text);

    // The bar's text: what, done/total unit, percent, rate and time left.
    static QString barText(const QString& what, int done, int total, const QString& unit, double seconds);

private:
    void draw(qint64 nowMs);

    Style style_;
    std::FILE* out_;
    QString what_, unit_;
    int total_ = 0;
    int done_ = 0;
    bool open_ = false;
    QElapsedTimer since_;
    qint64 lastDrawMs_ = -1;
};

}  // namespace zelt::cli
