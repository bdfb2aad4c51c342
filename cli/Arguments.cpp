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
        {"sampling", "sampling period: 0.5秒 8Hz 16Hz Trace(32Hz) Real(32Hz) 20msec 10msec 20mTRC 10mTRC 5msec "
                     "2msec 1msec 5mTRC 2mTRC 1mTRC"},
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
        "  ports [--json]                 the serial ports, which is a logger, their COM numbers\n"
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
        "options:\n"
        "  --port P           the logger's port (every command but ports and simulate)\n"
        "  --generic          --port auto also takes a generic USB serial adapter\n"
        "  -o, --output FILE  download, capture: the file written, - for standard output\n"
        "  --variant V        download: D, C, G or star (default D)\n"
        "  --allow-short      download: fewer records than announced is no failure\n"
        "  --seconds N        capture: how long, 5 .. 360\n"
        "  --image FILE.hex   firmware: the Intel HEX file\n"
        "  --json             info, ports: one JSON object (UTF-8) instead of text\n"
        "  --timeout S        how long the logger may stay silent, in seconds from its last byte\n"
        "                     (1 .. 3600, default 30); an answer that goes on without end is cut\n"
        "                     after twice that (a download's records and a capture's samples\n"
        "                     excepted)\n"
        "  -q, --quiet        no progress on standard error\n"
        "  -h, --help         help; \"zelt COMMAND --help\" for one command\n"
        "  --version          the version\n"
        "A long option's value follows it as the next argument or after \"=\" (--port=COM9).\n"
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
            "Lists the serial ports with their COM numbers, devices, USB ids, drivers and kinds.\n"
            "The kinds: \"logger\" (the logger's adapter, USB id 0FE3:6002), \"generic adapter\"\n"
            "(the generic adapter, 0403:6001), \"simulated logger\" (a registered simulated\n"
            "logger); any other port has no kind in the text and \"other\" in JSON. --json prints\n"
            "one JSON object: {\"schema\": 1, \"ports\": [{\"com\", \"device\", \"usbId\", \"driver\",\n"
            "\"kind\", \"description\"}, ...]} (null for what a port does not have).\n");
    case Command::Info:
        return QStringLiteral(
            "usage: zelt info --port P [--json] [--timeout S] [--generic]\n"
            "Connects as the window does (\"m\", the identification line, the settings report) and\n"
            "prints the logger's number and every setting it reported; --json prints one JSON\n"
            "object (UTF-8): {\"schema\": 1, \"port\": ..., \"device\": ..., \"loggerNumber\": ...,\n"
            "\"countsPerG\": N, \"settings\": {...}}, the counts and numeric settings as numbers.\n"
            "Every value of interval, sampling, threshold, range, myId (id=), wait and startMode\n"
            "(start=) can be given back to \"zelt set\".\n");
    case Command::Download:
        return QStringLiteral(
            "usage: zelt download --port P -o|--output FILE.csv [--variant D|C|G|star]\n"
            "                     [--allow-short] [--timeout S] [-q|--quiet] [--generic]\n"
            "Downloads the stored records and decodes them as 取得 does (--variant: D 取得, C ENQ,\n"
            "G V3, star *), and writes the file byte for byte as 保存 does. -o - writes to\n"
            "standard output. A download that ends short (fewer records than the logger announced,\n"
            "a logger gone silent, a lost port) still writes the records that arrived, with a last\n"
            "line saying \"N of M\", and exits 1 with the reason; with --allow-short it exits 0.\n");
    case Command::Capture:
        return QStringLiteral(
            "usage: zelt capture --port P --seconds N -o|--output FILE.csv [--timeout S]\n"
            "                    [-q|--quiet] [--generic]\n"
            "The 5 ms online capture (200 samples a second) for N seconds, 5 .. 360, written as\n"
            "the window writes it. -o - writes to standard output.\n");
    case Command::Set: {
        QString text = QStringLiteral(
            "usage: zelt set --port P NAME=VALUE ... [--timeout S] [--generic]\n"
            "Sends each setting as the window sends it, reads the settings report back and checks\n"
            "that the logger took it; one it did not take fails (exit 1). clock=now and start=now\n"
            "start a new recording; start= given with clock=now is sent after it, so the logger\n"
            "ends in the start mode asked for. A value \"zelt info\" reports is taken back; one the\n"
            "logger only reports (sampling 0.16秒 or Real(16Hz), interval ?\?\?) is confirmed when\n"
            "the logger already has it, with nothing sent, and refused otherwise. Names:\n");
        for (const SettingName& s : settingNames())
            text += QStringLiteral("  %1=  %2\n").arg(QString::fromLatin1(s.name), -10).arg(QString::fromUtf8(s.values));
        return text;
    }
    case Command::Firmware:
        return QStringLiteral(
            "usage: zelt firmware --port P --image FILE.hex [--timeout S] [-q|--quiet] [--generic]\n"
            "Updates the logger's firmware as the window's Start and Update do, from an Intel HEX\n"
            "file that passes the loader's checks (nothing is sent otherwise). Ctrl-C is refused\n"
            "while the image is being sent: a logger left with half an image has no program.\n"
            "After the loader call it waits for the line to go quiet (at least a second) before\n"
            "\"e\". --timeout S bounds each wait for the loader: its \"#\" after \"e\" (it erases\n"
            "first), its answer to each line, its \"M\" after \"qs\".\n");
    case Command::Monitor:
        return QStringLiteral(
            "usage: zelt monitor --port P [--timeout S] [--generic]\n"
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
        // A long option may carry its value after "=" (--port=COM9) as well
        // as in the next argument (--port COM9).
        QString a = args[i];
        QString inlineValue;
        bool hasInline = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            inlineValue = a.mid(eq + 1);
            a = a.left(eq);
            hasInline = true;
        }
        const auto value = [&]() -> QString {
            if (hasInline) {
                if (inlineValue.isEmpty()) {
                    fail(QStringLiteral("%1 needs a value").arg(a));
                    return QString();
                }
                return inlineValue;
            }
            if (i + 1 >= args.size()) {
                fail(QStringLiteral("%1 needs a value").arg(a));
                return QString();
            }
            return args[++i];
        };
        const auto flag = [&]() {
            if (hasInline)
                fail(QStringLiteral("%1 takes no value").arg(a));
            return true;
        };
        const auto number = [&](int low, int high) -> int {
            const QString text = value();
            bool ok = false;
            const int n = text.toInt(&ok);
            if (!ok || n < low || n > high) {
                if (!text.isNull())
                    fail(QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                             .arg(a)
                             .arg(low)
                             .arg(high)
                             .arg(text));
                return low;
            }
            return n;
        };
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = flag();
        } else if (a == QLatin1String("--port")) {
            o.port = value();
        } else if (a == QLatin1String("--generic")) {
            o.genericAdapter = flag();
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            o.output = value();
        } else if (a == QLatin1String("--variant")) {
            o.variant = value();
            if (!o.variant.isNull() && !QStringList{"D", "C", "G", "star"}.contains(o.variant))
                fail(QStringLiteral("--variant is D, C, G or star, not \"%1\"").arg(o.variant));
        } else if (a == QLatin1String("--seconds")) {
            o.seconds = number(5, 360);
        } else if (a == QLatin1String("--image")) {
            o.image = value();
        } else if (a == QLatin1String("--allow-short") && o.command == Command::Download) {
            o.allowShort = flag();
        } else if (a == QLatin1String("--json")) {
            o.json = flag();
        } else if (a == QLatin1String("--quiet") || a == QLatin1String("-q")) {
            o.quiet = flag();
        } else if (a == QLatin1String("--timeout")) {
            o.timeoutMs = number(1, 3600) * 1000;
        } else if (o.command == Command::Set && !a.startsWith(QLatin1Char('-')) && a.contains(QLatin1Char('='))) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            o.settings.emplace_back(a.left(eq), a.mid(eq + 1));
        } else {
            fail(QStringLiteral("unknown option \"%1\"").arg(args[i]));
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
