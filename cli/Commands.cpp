#include "cli/Commands.h"

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "data/CaptureExchange.h"
#include "data/DownloadExchange.h"
#include "firmware/HexFile.h"
#include "link/Protocol.h"
#include "platform/ComPortNames.h"
#include "platform/Clock.h"
#include "platform/FileErrors.h"
#include "platform/LineFiles.h"
#include "platform/PortDirectory.h"
#include "platform/Printable.h"
#include "settings/CommandText.h"
#include "settings/SettingCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

#if defined(ZELT_HAVE_SIMULATOR)
#include "sim/Program.h"
#endif

namespace zelt::cli {

namespace {

// Everything printed may carry text from the logger's line or a device's
// name: its control characters are shown escaped, never sent to the terminal.
void print(std::FILE* f, const QString& text)
{
    const QByteArray bytes = printable(text, true).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
    std::fflush(f);
}

// ---- ports --------------------------------------------------------------

QString kindOf(const SerialDeviceInfo& d)
{
    if (d.registered)
        return QStringLiteral("simulated logger");
    if (isLoggerAdapter(d))
        return QStringLiteral("logger");
    if (isGenericAdapter(d))
        return QStringLiteral("generic adapter");
    return QString();
}

// A text for JSON: null when there is none.
QJsonValue textOrNull(const QString& text)
{
    const QString t = text.trimmed();
    return t.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(t);
}

int ports(const Options& o, std::FILE* out)
{
    const std::vector<SerialDeviceInfo> devices = listSerialDevices();
    if (o.json) {
        QJsonArray list;
        for (const SerialDeviceInfo& d : devices) {
            QJsonObject p;
            p[QStringLiteral("com")] = textOrNull(d.comName);
            p[QStringLiteral("device")] = textOrNull(d.devicePath);
            p[QStringLiteral("usbId")] =
                d.vendorId.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(d.vendorId + QLatin1Char(':') + d.productId);
            p[QStringLiteral("driver")] = textOrNull(d.driver);
            const QString kind = kindOf(d);
            p[QStringLiteral("kind")] = kind.isEmpty() ? QStringLiteral("other") : kind;
            p[QStringLiteral("description")] = textOrNull(d.description);
            list.append(p);
        }
        QJsonObject all;
        all[QStringLiteral("schema")] = kJsonSchema;
        all[QStringLiteral("ports")] = list;
        writeBytes(out, jsonBytes(all));
        return 0;
    }
    if (devices.empty()) {
        print(out, QStringLiteral("no serial ports\n"));
        return 0;
    }
    for (const SerialDeviceInfo& d : devices) {
        const QString usb = d.vendorId.isEmpty() ? QStringLiteral("-") : d.vendorId + QLatin1Char(':') + d.productId;
        print(out, QStringLiteral("%1 %2 %3 %4 %5\n")
                       .arg(d.comName, -8)
                       .arg(d.devicePath, -20)
                       .arg(usb, -10)
                       .arg(d.driver.isEmpty() ? QStringLiteral("-") : d.driver, -10)
                       .arg(kindOf(d))
                       .trimmed() +
                   QLatin1Char('\n'));
    }
    return 0;
}

// ---- info ---------------------------------------------------------------

int info(Session& s, const Options& o, std::FILE* out)
{
    s.connectLogger();
    const QString number = QString::fromLatin1(s.state().loggerNumberText.bytes());
    const auto reported = s.settings().reported();
    if (o.json) {
        QJsonObject settings;
        for (const auto& [name, value] : reported)
            settings[QString::fromLatin1(name)] = settingJsonValue(name, value);
        QJsonObject all;
        all[QStringLiteral("schema")] = kJsonSchema;
        all[QStringLiteral("port")] = s.portName();
        all[QStringLiteral("device")] = s.devicePath();
        all[QStringLiteral("loggerNumber")] = number.trimmed();
        all[QStringLiteral("countsPerG")] = s.state().countsPerG;
        all[QStringLiteral("settings")] = settings;
        writeBytes(out, jsonBytes(all));
        return 0;
    }
    print(out, QStringLiteral("%1 %2 (%3)\n").arg(QStringLiteral("port"), -16).arg(s.portName(), s.devicePath()));
    print(out, QStringLiteral("%1 %2\n").arg(QStringLiteral("loggerNumber"), -16).arg(number));
    print(out, QStringLiteral("%1 %2\n").arg(QStringLiteral("countsPerG"), -16).arg(s.state().countsPerG));
    for (const auto& [name, value] : reported)
        print(out, QStringLiteral("%1 %2\n").arg(QString::fromLatin1(name), -16).arg(value));
    return 0;
}

// ---- files --------------------------------------------------------------

// A file is written under a temporary name and renamed once complete; a
// pipe or a character device (and standard output) is written directly. The
// name is checked before the logger is asked, so nothing is fetched for a
// file that cannot be written.
void checkWritable(const QString& path)
{
    if (path == QLatin1String("-"))
        return;
    const QFileInfo file(path);
    const QFileInfo dir(file.absolutePath());
    if (!dir.isDir())
        throw Failure{2, QStringLiteral("cannot write %1: the folder %2 does not exist").arg(path, dir.filePath())};
    FileProblem why = FileProblem::Failed;
    const WriteTarget target = writeTargetOf(path, &why);
    if (target == WriteTarget::Refused)
        throw Failure{2, QStringLiteral("cannot write %1: %2")
                             .arg(path, why == FileProblem::IsFolder ? QStringLiteral("it is a folder")
                                                                     : QStringLiteral("it is not an ordinary file, a pipe or a device"))};
    if ((target == WriteTarget::Replace && !dir.isWritable()) || (file.exists() && !file.isWritable()))
        throw Failure{2, QStringLiteral("cannot write %1: not permitted").arg(path)};
}

// Why a write failed, in the command line's words.
QString writeFailure(const FileError& e)
{
    const QString name = e.path();
    switch (e.problem()) {
    case FileProblem::DiskFull: return QStringLiteral("cannot write %1: disk full").arg(name);
    case FileProblem::AccessDenied: return QStringLiteral("cannot write %1: not permitted").arg(name);
    case FileProblem::IsFolder: return QStringLiteral("cannot write %1: it is a folder").arg(name);
    case FileProblem::FolderNotFound: return QStringLiteral("cannot write %1: the folder does not exist").arg(name);
    case FileProblem::NotOrdinary: return QStringLiteral("cannot write %1: it is not an ordinary file, a pipe or a device").arg(name);
    case FileProblem::ReaderGone: return QStringLiteral("cannot write %1: the program reading it has closed it").arg(name);
    case FileProblem::Interrupted: return QStringLiteral("interrupted while writing %1; the data is not complete").arg(name);
    case FileProblem::NoReader:
    case FileProblem::Stalled:
    case FileProblem::NotFound:
    case FileProblem::Failed: break;
    }
    return QStringLiteral("cannot write %1: I/O error").arg(name);
}

void writeOut(const ByteLines& lines, const QString& path, std::FILE* out)
{
    // A pipe waits for its reader, and a slow reader is waited for, until
    // Ctrl-C; a write that fails is a failure of the command.
    WriteControl control;
    control.interrupted = [] { return interruptRequested().load(); };
    control.waitForReader = true;
    control.stallLimitMs = 0;
    try {
        if (path == QLatin1String("-")) {
            if (std::fflush(out) != 0)
                throw FileError(FileAction::Write, fileProblemFromErrno(errno), QStringLiteral("standard output"));
            writeLinesTo(fileno(out), lines, QStringLiteral("standard output"), control);
        } else {
            writeLinesFile(lines, path, control);
        }
    } catch (const FileError& e) {
        throw Failure{e.problem() == FileProblem::Interrupted ? 130 : 1, writeFailure(e)};
    }
}

Transfer transferOf(const QString& variant)
{
    if (variant == QLatin1String("C"))
        return Transfer::Enquire;
    if (variant == QLatin1String("G"))
        return Transfer::Version3;
    if (variant == QLatin1String("star"))
        return Transfer::Star;
    return Transfer::Get;
}

int download(Session& s, const Options& o, Progress& progress, std::FILE* out)
{
    checkWritable(o.output);
    const ByteLines lines = s.download(transferOf(o.variant));
    // A download that ended short is kept too: the records the logger sent
    // are the user's, and the data set's last line says what is missing.
    writeOut(lines, o.output, out);
    if (o.output != QLatin1String("-"))
        progress.note(QStringLiteral("%1: %2 records, %3 lines").arg(o.output).arg(s.state().decodedCount).arg(lines.size()));
    const DownloadExchange::Result& result = s.downloadResult();
    if (!result.incomplete)
        return 0;
    const QString of = result.announced >= 0 ? QStringLiteral("%1 of %2").arg(result.records).arg(result.announced)
                                             : QString::number(result.records);
    const QString where =
        o.output == QLatin1String("-") ? QStringLiteral("standard output") : o.output;
    const QString said = QStringLiteral("download incomplete (%1): %2 records arrived, written to %3")
                             .arg(result.why, of, where);
    if (!o.allowShort)
        throw Failure{1, said};
    progress.note(QStringLiteral("note: ") + said);
    return 0;
}

int capture(Session& s, const Options& o, Progress& progress, std::FILE* out)
{
    checkWritable(o.output);
    const ByteLines lines = s.capture(o.seconds);
    writeOut(lines, o.output, out);
    if (o.output != QLatin1String("-"))
        progress.note(QStringLiteral("%1: %2 samples").arg(o.output).arg(o.seconds * kSamplesPerSecond - 1));
    return 0;
}

// ---- set ----------------------------------------------------------------

struct Change {
    QString name, value;
    QByteArray command, queued1 = "p", queued2, queued3;
    // The reported setting that confirms it, and the text it must show.
    QString LoggerSettings::*field = nullptr;
    QString expected;
    bool numeric = false;  // compared as numbers ("042" is 42)
    // A value the logger reports but no command sets: taken only when the
    // logger already has it, and then nothing is sent.
    bool reportedOnly = false;
    QString sent;          // what a change that is not read back did
};

int wholeNumber(const QString& name, const QString& value, int low, int high)
{
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        throw Failure{2, QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"").arg(name).arg(low).arg(high).arg(value)};
    return n;
}

// The clock command "s" + time starts a new recording on the logger.
QString newRecordingNote(const QByteArray& clockCommand)
{
    return QStringLiteral("a new recording started, the logger's clock set to %1 (as 新規開始: \"s\" with the time, "
                          "then \"t\")")
        .arg(QString::fromLatin1(clockCommand.mid(1)));
}

Change changeFor(const QString& name, const QString& value, const LinkState& state)
{
    Change c;
    c.name = name;
    c.value = value;
    const auto badValue = [&](const QString& takes) {
        return Failure{2, QStringLiteral("%1 takes %2, not \"%3\"").arg(name, takes, value)};
    };
    if (name == QLatin1String("interval")) {
        const int index = intervalIndexForText(value);
        if (value == QLatin1String(intervalTextFor(-1))) {
            c.field = &LoggerSettings::interval;
            c.expected = value;
            c.reportedOnly = true;
            return c;
        }
        if (index < 0)
            throw badValue(QStringLiteral("one of 1sec 5sec 10sec 15sec 20sec 30sec 1min 2min 3min 4min 5min 10min "
                                          "15min 20min 30min"));
        c.command = intervalCommand(state, index);
        c.field = &LoggerSettings::interval;
        c.expected = value;
    } else if (name == QLatin1String("sampling")) {
        c.field = &LoggerSettings::sampling;
        c.expected = value;
        // "0.5秒" is sent as the window sends a typed text of no row: "i0",
        // which is that period's code. The other texts reported for codes
        // the list has no row for would also send "i0", which is not what
        // they say ('?' stands for any code without a text of its own).
        if (value == samplingTextFor('1') || value == samplingTextFor('?')) {
            c.reportedOnly = true;
            return c;
        }
        if (samplingCodeFor(value) == '0' && value != samplingTextFor('0'))
            throw badValue(QStringLiteral("a sampling period of the list (zelt set --help)"));
        c.command = samplingCommand(value);
    } else if (name == QLatin1String("threshold")) {
        const int n = wholeNumber(name, value, 0, 98);
        const QString text = QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        c.command = thresholdCommand(text);
        c.field = &LoggerSettings::threshold;
        c.expected = text;
        c.numeric = true;
    } else if (name == QLatin1String("range")) {
        if (!QStringList{"10", "20", "50", "00", "01", "02"}.contains(value))
            throw badValue(QStringLiteral("10, 20, 50, 00, 01 or 02"));
        c.command = rangeCommand(value);
        c.field = &LoggerSettings::range;
        c.expected = value;
    } else if (name == QLatin1String("id")) {
        wholeNumber(name, value, 0, 255);
        const QString text = formatIdValue(value.trimmed());
        c.command = idCommand(text);
        c.field = &LoggerSettings::myId;
        c.expected = text;
        c.numeric = true;
    } else if (name == QLatin1String("wait")) {
        wholeNumber(name, value, 0, 99);
        const QString text = formatWaitValue(value.trimmed());
        c.command = waitCommand(text);
        c.field = &LoggerSettings::wait;
        c.expected = text;
        c.numeric = true;
    } else if (name == QLatin1String("start")) {
        const QString lower = value.toLower();
        const QString text = lower == QLatin1String("now")     ? kStartNow
                             : lower == QLatin1String("sleep") ? kStartSleep
                             : lower == QLatin1String("start") ? kStartRunning
                                                               : value;
        if (text != kStartNow && text != kStartSleep && text != kStartRunning)
            throw badValue(QStringLiteral("now, sleep or start"));
        const std::optional<StartModeChange> change = startModeChange(text, formatDayValue(toDayValue(localNow())), {});
        c.command = change->command;
        c.queued1 = change->queued1;
        c.queued2 = change->queued2;
        c.queued3 = change->queued3;
        if (text == kStartNow)
            c.sent = newRecordingNote(c.command);
        else {
            c.field = &LoggerSettings::startMode;
            c.expected = text == kStartSleep ? kStartSleep : kStartRunning;
        }
    } else if (name == QLatin1String("clock")) {
        if (value != QLatin1String("now"))
            throw badValue(QStringLiteral("now"));
        // As "新規開始" does: the clock, which starts a new recording, then
        // the logger's time shown.
        c.command = clockCommand(formatDayValue(toDayValue(localNow())));
        c.queued1 = "t";
        c.sent = newRecordingNote(c.command);
    }
    return c;
}

bool sameSetting(const QString& reported, const Change& c)
{
    if (!c.numeric)
        return reported.trimmed() == c.expected;
    bool a = false, b = false;
    const int x = reported.trimmed().toInt(&a), y = c.expected.toInt(&b);
    return a && b && x == y;
}

int set(Session& s, const Options& o, std::FILE* out)
{
    // Every value is checked before the logger is asked anything.
    std::vector<Change> changes;
    for (const auto& [name, value] : o.settings)
        changes.push_back(changeFor(name, value, s.state()));
    // clock=now starts a new recording: a start mode given in the same call
    // is applied after it, whatever the order, so the logger ends in the
    // mode asked for.
    const auto isClock = [](const Change& c) { return c.name == QLatin1String("clock"); };
    const auto lastClock = std::find_if(changes.rbegin(), changes.rend(), isClock);
    if (lastClock != changes.rend()) {
        const auto end = lastClock.base();  // just after the last clock=
        std::stable_partition(changes.begin(), end, [](const Change& c) { return c.name != QLatin1String("start"); });
    }
    s.connectLogger();
    // A value no command sets must be what the logger has, or nothing is sent.
    for (const Change& c : changes) {
        if (!c.reportedOnly)
            continue;
        const QString reported = s.settings().*c.field;
        if (!sameSetting(reported, c))
            throw Failure{2, QStringLiteral("%1=%2 cannot be set: the logger only reports it (it now reports %3)")
                                 .arg(c.name, c.value, reported.isNull() ? QStringLiteral("nothing") : reported)};
    }
    for (const Change& c : changes) {
        if (c.reportedOnly) {
            print(out, QStringLiteral("%1=%2 confirmed (the logger has it; nothing sent)\n").arg(c.name, c.value));
            continue;
        }
        s.exchange(c.command, c.queued1, c.queued2, c.queued3);
        if (!c.field) {
            print(out, c.sent.isEmpty() ? QStringLiteral("%1=%2 sent\n").arg(c.name, c.value)
                                        : QStringLiteral("%1=%2 sent: %3\n").arg(c.name, c.value, c.sent));
            continue;
        }
        // The report read back, whatever the command's own answer held.
        s.exchange("p", {});
        const QString reported = s.settings().*c.field;
        if (!sameSetting(reported, c))
            throw Failure{1, QStringLiteral("the logger did not take %1=%2: it reports %3")
                                 .arg(c.name, c.value, reported.isNull() ? QStringLiteral("nothing") : reported)};
        print(out, QStringLiteral("%1=%2 confirmed\n").arg(c.name, reported.trimmed()));
    }
    return 0;
}

// ---- firmware -----------------------------------------------------------

int firmware(Session& s, const Options& o, Progress& progress, std::FILE* out)
{
    // Only a file that passes the loader's checks is sent.
    const HexFileResult image = loadHexFile(o.image);
    if (!image.error.isEmpty())
        throw Failure{2, image.error};
    s.firmware(image.lines, QByteArray(kConfigAddressRecord));
    progress.note(QString());
    print(out, QStringLiteral("firmware updated from %1 (%2 lines)\n").arg(QFileInfo(o.image).fileName()).arg(image.lines.size()));
    return 0;
}

// ---- monitor ------------------------------------------------------------

// An axis in G: the counts divided by the counts that make 1 G (the range's,
// "@1G=" in the tool's files); text that holds no number is shown as it came.
QString axisInG(const MonitorReading::Axis& a, int countsPerG)
{
    if (!a.present)
        return QString();
    if (!a.value)
        return QString::fromLatin1(a.text.data(), static_cast<qsizetype>(a.text.size())).trimmed();
    return QString::number(static_cast<double>(*a.value) / std::max(countsPerG, 1), 'f', 3);
}

int monitor(Session& s, Progress& progress, std::FILE* out)
{
    bool headed = false;
    s.monitor([&](const MonitorReading& r) {
        // The header once the logger's range is known.
        const int countsPerG = s.state().countsPerG;
        if (!headed) {
            progress.note(QStringLiteral("monitor: X, Y and Z in G (@1G=%1: %1 counts make 1 G); Ctrl-C ends it")
                              .arg(countsPerG));
            print(out, QStringLiteral("time,x(G),y(G),z(G),temperature(C)\n"));
            headed = true;
        }
        const QString temperature =
            r.temperature ? QString::fromLatin1(r.temperature->data(), static_cast<qsizetype>(r.temperature->size())).trimmed()
                          : QString();
        print(out, QStringLiteral("%1,%2,%3,%4,%5\n")
                       .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss.zzz")),
                            axisInG(r.x, countsPerG), axisInG(r.y, countsPerG), axisInG(r.z, countsPerG), temperature));
    });
    // The readings go on until Ctrl-C: the end is an interruption.
    return 130;
}

}  // namespace

int runZelt(const QStringList& args, std::FILE* out, std::FILE* err)
{
    const Parsed parsed = parseArguments(args);
    const Options& o = parsed.options;
    if (!parsed.error.isEmpty()) {
        print(err, QStringLiteral("zelt: %1\n").arg(parsed.error));
        print(err, o.command == Command::None ? QStringLiteral("Try \"zelt --help\".\n")
                                              : QStringLiteral("Try \"zelt %1 --help\".\n").arg(args.value(0)));
        return 2;
    }
    if (o.help && o.command != Command::Simulate) {
        print(out, o.command == Command::None ? usageText() : commandHelp(o.command));
        return 0;
    }
    if (o.command == Command::Simulate) {
#if defined(ZELT_HAVE_SIMULATOR)
        std::vector<std::string> simArgs;
        for (const QString& a : o.simulatorArguments)
            simArgs.push_back(a.toStdString());
        return sim::runSimulatorProgram(simArgs);
#else
        print(err, QStringLiteral("zelt: the simulated logger is not part of this build\n"));
        return 2;
#endif
    }
    // Ports registered in a folder another user can write are never taken.
    if (const std::string problem = portDirectoryProblem(); !problem.empty())
        print(err, QStringLiteral("zelt: registered ports (simulated loggers) are ignored: %1\n")
                       .arg(QString::fromLocal8Bit(problem.c_str())));
    if (o.command == Command::Ports)
        return ports(o, out);

    Progress progress(Progress::styleFor(o.quiet), err);
    try {
        Session session(progress, o.timeoutMs);
        session.usePort(o.port, o.genericAdapter);
        switch (o.command) {
        case Command::Info: return info(session, o, out);
        case Command::Download: return download(session, o, progress, out);
        case Command::Capture: return capture(session, o, progress, out);
        case Command::Set: return set(session, o, out);
        case Command::Firmware: return firmware(session, o, progress, out);
        case Command::Monitor: return monitor(session, progress, out);
        default: break;
        }
    } catch (const Failure& f) {
        progress.end();
        print(err, QStringLiteral("zelt: %1\n").arg(f.reason));
        return f.code;
    } catch (const std::exception& e) {
        progress.end();
        print(err, QStringLiteral("zelt: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return 1;
    }
    return 2;
}

}  // namespace zelt::cli
