#include "cli/Arguments.h"

#include <QRegularExpression>

namespace zelt::cli {

namespace {

struct CommandEntry {
    const char* name;
    Command command;
};

const CommandEntry kCommands[] = {
    {"ports", Command::Ports},     {"info", Command::Info},       {"download", Command::Download},
    {"capture", Command::Capture}, {"set", Command::Set},         {"firmware", Command::Firmware},
    {"monitor", Command::Monitor}, {"simulate", Command::Simulate},
};

bool takesPort(Command c)
{
    return c == Command::Info || c == Command::Download || c == Command::Capture || c == Command::Set ||
           c == Command::Firmware || c == Command::Monitor;
}

}  // namespace

const std::vector<SettingName>& settingNames()
{
    static const std::vector<SettingName> names = {
        {"interval", "recording interval: 1sec 5sec 10sec 15sec 20sec 30sec 1min 2min 3min 4min 5min 10min 15min "
                     "20min 30min"},
        {"sampling", "sampling period: 8Hz 16Hz Trace(32Hz) Real(32Hz) 20msec 10msec 20mTRC 10mTRC 5msec 2msec "
                     "1msec 5mTRC 2mTRC 1mTRC"},
        {"threshold", "threshold, two digits: 00 .. 98"},
        {"range", "range: 10 20 50 00 01 02"},
        {"id", "the logger's ID: 0 .. 255"},
        {"wait", "wait value: 0 .. 99"},
        {"start", "start mode: now, sleep or start (今すぐ開始, Sleep, 開始)"},
        {"clock", "now: starts a new recording, as 新規開始 does: the logger's clock set from this "
                  "computer's (\"s\" with the time), then its time shown (\"t\"). A start= in the same "
                  "call is applied after it"},
    };
    return names;
}

QString usageText()
{
    return QStringLiteral(
        "usage: zelt COMMAND [options]\n"
        "\n"
        "Talks to the acceleration logger over its serial port, without a window.\n"
        "\n"
        "commands:\n"
        "  ports                          the serial ports, which is a logger, their COM numbers\n"
        "  info --port P [--json]         identification and settings of the logger\n"
        "  download --port P -o FILE      the stored records, decoded, as CSV (CP932, CR LF)\n"
        "  capture --port P --seconds N -o FILE   5 ms samples for N seconds (5 .. 360)\n"
        "  set --port P NAME=VALUE ...    change settings; each is read back to confirm\n"
        "  firmware --port P --image FILE.hex     update the firmware from an Intel HEX file\n"
        "  monitor --port P               live readings, one line each, until Ctrl-C\n"
        "  simulate [--com N]             the simulated logger on COM<N> (default 9)\n"
        "\n"
        "A port P is COMn, a device path (/dev/ttyUSB0) or auto (found as the window finds it;\n"
        "--generic also takes a generic USB serial adapter).\n"
        "\n"
        "common options:\n"
        "  --timeout S    how long the logger may stay silent, in seconds from its last byte\n"
        "                 (default 30); an answer that goes on without end is cut after twice\n"
        "                 that (a download's records and a capture's samples excepted)\n"
        "  --quiet        no progress on standard error\n"
        "  -h, --help     help; \"zelt COMMAND --help\" for one command\n"
        "  --version      the version\n"
        "\n"
        "Progress goes to standard error, results to standard output. Exit codes: 0 done,\n"
        "1 the exchange failed (the reason on one line), 2 wrong usage, 130 interrupted.\n"
        "Files are written under a temporary name and renamed when complete: a failed or\n"
        "interrupted run leaves no file, except a download cut short, which writes what\n"
        "arrived and says so.\n");
}

QString commandHelp(Command command)
{
    switch (command) {
    case Command::Ports:
        return QStringLiteral(
            "usage: zelt ports [--json]\n"
            "Lists the serial ports with their COM numbers and devices. A port whose USB id is the\n"
            "logger's adapter (0FE3:6002) is marked \"logger\", the generic adapter (0403:6001)\n"
            "\"generic\", a simulated logger \"simulated\".\n");
    case Command::Info:
        return QStringLiteral(
            "usage: zelt info --port P [--json] [--timeout S]\n"
            "Connects as the window does (\"m\", the identification line, the settings report) and\n"
            "prints the logger's number and every setting it reported; --json prints one JSON\n"
            "object: {\"port\": ..., \"loggerNumber\": ..., \"settings\": {...}}.\n");
    case Command::Download:
        return QStringLiteral(
            "usage: zelt download --port P -o FILE.csv [--variant D|C|G|star] [--allow-short]\n"
            "                     [--timeout S] [--quiet]\n"
            "Downloads the stored records and decodes them as 取得 does (--variant: D 取得, C ENQ,\n"
            "G V3, star *), and writes the file byte for byte as 保存 does. -o - writes to\n"
            "standard output. A download that ends short (fewer records than the logger announced,\n"
            "a logger gone silent, a lost port) still writes the records that arrived, with a last\n"
            "line saying \"N of M\", and exits 1 with the reason; with --allow-short it exits 0.\n");
    case Command::Capture:
        return QStringLiteral(
            "usage: zelt capture --port P --seconds N -o FILE.csv [--timeout S] [--quiet]\n"
            "The 5 ms online capture (200 samples a second) for N seconds, 5 .. 360, written as\n"
            "the window writes it. -o - writes to standard output.\n");
    case Command::Set: {
        QString text = QStringLiteral(
            "usage: zelt set --port P NAME=VALUE ... [--timeout S]\n"
            "Sends each setting as the window sends it, reads the settings report back and checks\n"
            "that the logger took it; one it did not take fails (exit 1). clock=now and start=now\n"
            "start a new recording; start= given with clock=now is sent after it, so the logger\n"
            "ends in the start mode asked for. Names:\n");
        for (const SettingName& s : settingNames())
            text += QStringLiteral("  %1=  %2\n").arg(QString::fromLatin1(s.name), -10).arg(QString::fromUtf8(s.values));
        return text;
    }
    case Command::Firmware:
        return QStringLiteral(
            "usage: zelt firmware --port P --image FILE.hex [--timeout S] [--quiet]\n"
            "Updates the logger's firmware as the window's Start and Update do, from an Intel HEX\n"
            "file that passes the loader's checks (nothing is sent otherwise). Ctrl-C is refused\n"
            "while the image is being sent: a logger left with half an image has no program.\n"
            "After the loader call it waits for the line to go quiet (at least a second) before\n"
            "\"e\". --timeout S bounds each wait for the loader: its \"#\" after \"e\" (it erases\n"
            "first), its answer to each line, its \"M\" after \"qs\".\n");
    case Command::Monitor:
        return QStringLiteral(
            "usage: zelt monitor --port P [--timeout S]\n"
            "Prints the live readings as CSV, one line each, about three a second: the time to\n"
            "the millisecond, X, Y and Z in G (the logger's counts divided by its counts per G,\n"
            "the \"@1G=\" of the tool's files, said on standard error), the temperature in degrees Celsius.\n"
            "Runs until Ctrl-C, which ends it with exit code 130.\n");
    case Command::Simulate:
        return QStringLiteral(
            "usage: zelt simulate [--com N] [simulator options]\n"
            "Starts the simulated logger on a pseudo-terminal registered as COM<N> (default 9)\n"
            "and runs until Ctrl-C; \"zelt simulate --help\" inside lists the simulator's options.\n"
            "Example: zelt simulate & zelt download --port COM9 -o x.csv\n");
    case Command::None:
        break;
    }
    return usageText();
}

Parsed parseArguments(const QStringList& args)
{
    Parsed p;
    Options& o = p.options;
    if (args.isEmpty()) {
        p.error = QStringLiteral("no command given");
        return p;
    }
    const QString first = args.first();
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        o.help = true;
        return p;
    }
    for (const CommandEntry& c : kCommands)
        if (first == QLatin1String(c.name))
            o.command = c.command;
    if (o.command == Command::None) {
        p.error = QStringLiteral("unknown command \"%1\"").arg(first);
        return p;
    }
    if (o.command == Command::Simulate) {
        // Everything after the command is the simulator's own.
        o.simulatorArguments = args.mid(1);
        o.help = o.simulatorArguments.contains(QStringLiteral("-h"));
        return p;
    }

    const auto fail = [&p](const QString& text) {
        if (p.error.isEmpty())
            p.error = text;
    };
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        const auto value = [&](const char* name) -> QString {
            if (i + 1 >= args.size()) {
                fail(QStringLiteral("%1 needs a value").arg(QString::fromLatin1(name)));
                return QString();
            }
            return args[++i];
        };
        const auto number = [&](const char* name, int low, int high) -> int {
            const QString text = value(name);
            bool ok = false;
            const int n = text.toInt(&ok);
            if (!ok || n < low || n > high) {
                if (!text.isNull())
                    fail(QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                             .arg(QString::fromLatin1(name))
                             .arg(low)
                             .arg(high)
                             .arg(text));
                return low;
            }
            return n;
        };
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a == QLatin1String("--port")) {
            o.port = value("--port");
        } else if (a == QLatin1String("--generic")) {
            o.genericAdapter = true;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            o.output = value("-o");
        } else if (a == QLatin1String("--variant")) {
            o.variant = value("--variant");
            if (!QStringList{"D", "C", "G", "star"}.contains(o.variant))
                fail(QStringLiteral("--variant is D, C, G or star, not \"%1\"").arg(o.variant));
        } else if (a == QLatin1String("--seconds")) {
            o.seconds = number("--seconds", 5, 360);
        } else if (a == QLatin1String("--image")) {
            o.image = value("--image");
        } else if (a == QLatin1String("--allow-short") && o.command == Command::Download) {
            o.allowShort = true;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--quiet") || a == QLatin1String("-q")) {
            o.quiet = true;
        } else if (a == QLatin1String("--timeout")) {
            o.timeoutMs = number("--timeout", 1, 3600) * 1000;
        } else if (o.command == Command::Set && !a.startsWith(QLatin1Char('-')) && a.contains(QLatin1Char('='))) {
            const int eq = a.indexOf(QLatin1Char('='));
            o.settings.emplace_back(a.left(eq), a.mid(eq + 1));
        } else {
            fail(QStringLiteral("unknown option \"%1\"").arg(a));
        }
    }
    if (o.help || !p.error.isEmpty())
        return p;

    if (takesPort(o.command) && o.port.isEmpty())
        fail(QStringLiteral("--port is needed (COMn, a device path or auto)"));
    if ((o.command == Command::Download || o.command == Command::Capture) && o.output.isEmpty())
        fail(QStringLiteral("-o FILE is needed (- for standard output)"));
    if (o.command == Command::Capture && o.seconds == 0)
        fail(QStringLiteral("--seconds N is needed (5 .. 360)"));
    if (o.command == Command::Firmware && o.image.isEmpty())
        fail(QStringLiteral("--image FILE.hex is needed"));
    if (o.command == Command::Set && o.settings.empty())
        fail(QStringLiteral("no NAME=VALUE given"));
    for (const auto& [name, v] : o.settings) {
        bool known = false;
        for (const SettingName& s : settingNames())
            known = known || name == QLatin1String(s.name);
        if (!known)
            fail(QStringLiteral("unknown setting \"%1\"").arg(name));
    }
    return p;
}

}  // namespace zelt::cli
