#pragma once
// What the operating system is asked for about a serial device besides its
// line settings: low latency (the adapter hands bytes on at once, not after
// its latency timer of 16 ms), and why a device may not be opened.
#include <QByteArray>
#include <QString>
#include <optional>

namespace zelt {

// The sysfs file of the latency timer of the USB serial adapter behind a
// tty device ("/dev/ttyUSB0" -> "<sysRoot>/class/tty/ttyUSB0/device/latency_timer"),
// following links to the device; empty when the adapter has none (no FTDI
// adapter, a pseudo-terminal) or on systems without sysfs.
QString latencyTimerPath(const QString& devicePath, const QString& sysRoot = QStringLiteral("/sys"));

// The sysfs file of the adapter's event character beside its latency timer
// ("<sysRoot>/class/tty/ttyUSB0/device/event_char", write-only, as root
// unless a rule gives it to the user); empty where there is none.
QString eventCharacterPath(const QString& devicePath, const QString& sysRoot = QStringLiteral("/sys"));
// The text the attribute takes: decimal, bit 8 switches the character on,
// bits 0-7 are the character ("262" for 0x06); "0" switches it off.
QByteArray eventCharacterValue(std::optional<char> c);
// Sets (or with nullopt clears) the event character of the adapter behind
// a tty device; false where it has none or the write is refused. Never
// fails anything else.
bool writeEventCharacter(const QString& devicePath, std::optional<char> c,
                         const QString& sysRoot = QStringLiteral("/sys"));

struct LowLatency {
    bool driverFlag = false;    // the serial driver's low-latency flag was set
    bool latencyTimer = false;  // the adapter's latency timer is 1 ms
};
// Asks for low latency on an open device (fd: its descriptor on Linux, its
// handle on Windows). Nothing here can fail the open: a device that refuses
// (a pseudo-terminal, a timer file the user may not write) stays as it is.
LowLatency requestLowLatency(qintptr fd, const QString& devicePath, const QString& sysRoot = QStringLiteral("/sys"));

// Why a device that exists may not be opened by this user, with the cure,
// e.g. "Permission denied: /dev/ttyUSB0; add your user to the dialout group,
// or install the package's udev rule"; empty when the user may open it.
QString deviceAccessProblem(const QString& devicePath);
// The text for a device owned by the group groupName that the user may not open.
QString permissionDeniedText(const QString& devicePath, const QString& groupName);

}  // namespace zelt
