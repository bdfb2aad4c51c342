#pragma once
// Text from outside the tool (the logger's line, a file, a device's name)
// shown on a terminal or in a message: its control characters are written as
// escapes ("\x1B"), so that no byte of it can steer the terminal (move the
// cursor, rename the window, clear the screen).
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zelt {

// Every control character (C0, DEL and C1) as \xHH; keepLineFeeds leaves
// line feeds as they are, for a text of several lines.
QString printable(QStringView text, bool keepLineFeeds = false);
// Bytes as Latin-1 text, their control characters escaped the same way.
QString printableBytes(QByteArrayView bytes);

}  // namespace zelt
