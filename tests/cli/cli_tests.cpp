// zelt, the command-line tool, as a user runs it: a program with arguments,
// exit codes, standard output and error, against the simulated logger on a
// pseudo-terminal; the window on the same logger where the two must agree.
#include "cli/Arguments.h"
#include "cli/Json.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "firmware/HexFile.h"
#include "link/QtComPort.h"
#include "tests/SimulatedTool.h"
#include "tests/WaitFor.h"
#include "tests/data/DataTool.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace zelt;
using namespace zelt::test;

namespace {

struct ZeltRun {
    int code = -1;
    QByteArray out, err;
    qint64 ms = 0;
};

// Runs zelt to its end (or kills it after limitMs).
ZeltRun zelt(const QStringList& args, int limitMs = 60000, const QStringList& environment = {})
{
    QProcess p;
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : environment)
            env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
        p.setProcessEnvironment(env);
    }
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), args);
    if (!p.waitForFinished(zelt::test::deadline(limitMs))) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "zelt " << args.join(' ').toStdString() << " did not end within " << limitMs << " ms";
    }
    ZeltRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.ms = t.elapsed();
    return r;
}

std::string shown(const ZeltRun& r)
{
    return "exit " + std::to_string(r.code) + "\nstdout: " + r.out.left(2000).toStdString() +
           "\nstderr: " + r.err.left(2000).toStdString();
}

QString com(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

// The simulated logger alone, plugged in, on its COM number.
struct Logger {
    explicit Logger(int comNumber, sim::Options options = {}) : tool(comNumber, options), number(comNumber)
    {
        const std::string error = tool.plugIn();
        EXPECT_TRUE(error.empty()) << error;
    }
    sim::Simulator& sim() { return tool.sim; }
    bool saw(const std::string& command)
    {
        const auto c = sim().observations().commands;
        return std::find(c.begin(), c.end(), command) != c.end();
    }
    SimulatedTool tool;
    int number;
};

// ---- arguments ----------------------------------------------------------

TEST(CliArguments, WrongUsageIsRefusedWithAReason)
{
    struct Case {
        QStringList args;
        const char* says;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command"},
        {{"info"}, "--port is needed"},
        {{"download", "--port", "COM9"}, "-o FILE is needed"},
        {{"download", "--port", "COM9", "-o", "x.csv", "--variant", "Q"}, "--variant is D, C, G or star"},
        {{"capture", "--port", "COM9", "-o", "x.csv"}, "--seconds N is needed"},
        {{"capture", "--port", "COM9", "-o", "x.csv", "--seconds", "3"}, "from 5 to 360"},
        {{"capture", "--port", "COM9", "-o", "x.csv", "--seconds", "ten"}, "not \"ten\""},
        {{"set", "--port", "COM9"}, "no NAME=VALUE"},
        {{"set", "--port", "COM9", "colour=red"}, "unknown setting \"colour\""},
        {{"firmware", "--port", "COM9"}, "--image FILE.hex is needed"},
        {{"info", "--port", "COM9", "--timeout", "0"}, "from 1 to 3600"},
        {{"info", "--port", "COM9", "--verbose"}, "unknown option \"--verbose\""},
        {{"info", "--port"}, "--port needs a value"},
        {{"info", "--port", "COM9", "--allow-short"}, "unknown option \"--allow-short\""},
    };
    for (const Case& c : cases) {
        const cli::Parsed p = cli::parseArguments(c.args);
        EXPECT_TRUE(p.error.contains(QString::fromUtf8(c.says))) << c.args.join(' ').toStdString() << " -> "
                                                                  << p.error.toStdString();
    }
    const cli::Parsed ok = cli::parseArguments(
        {"set", "--port", "auto", "--generic", "interval=5min", "start=now", "--timeout", "2", "--quiet"});
    EXPECT_TRUE(ok.error.isEmpty()) << ok.error.toStdString();
    EXPECT_EQ(ok.options.command, cli::Command::Set);
    EXPECT_TRUE(ok.options.genericAdapter && ok.options.quiet);
    EXPECT_EQ(ok.options.timeoutMs, 2000);
    ASSERT_EQ(ok.options.settings.size(), 2u);
    EXPECT_EQ(ok.options.settings[1].first, QStringLiteral("start"));
    EXPECT_EQ(ok.options.settings[1].second, QStringLiteral("now"));

    // The logger may stay silent 30 s unless told; a short download is
    // allowed only when asked.
    const cli::Parsed plain = cli::parseArguments({"download", "--port", "COM9", "-o", "x.csv"});
    EXPECT_EQ(plain.options.timeoutMs, 30000);
    EXPECT_FALSE(plain.options.allowShort);
    EXPECT_TRUE(cli::parseArguments({"download", "--port", "COM9", "-o", "x.csv", "--allow-short"}).options.allowShort);
}

// Every option in both spellings, and what a wrong one gives.
TEST(CliArguments, LongOptionsTakeTheirValueAfterEqualsOrAsTheNextArgument)
{
    struct Case {
        QStringList args;
        const char* error;  // empty: accepted
    };
    const Case cases[] = {
        {{"download", "--port", "COM9", "--output", "x.csv", "--variant", "C", "--timeout", "7", "-q"}, ""},
        {{"download", "--port=COM9", "--output=x.csv", "--variant=C", "--timeout=7", "--quiet"}, ""},
        {{"download", "--port=COM9", "-o", "x.csv", "--variant=C", "--timeout", "7", "--quiet"}, ""},
        {{"capture", "--port=COM9", "--seconds=20", "--output=-"}, ""},
        {{"firmware", "--port=auto", "--generic", "--image=a=b.hex"}, ""},
        {{"info", "--port=COM9", "--json"}, ""},
        {{"info", "--port="}, "--port needs a value"},
        {{"info", "--port"}, "--port needs a value"},
        {{"download", "--port", "COM9", "--output"}, "--output needs a value"},
        {{"download", "--port", "COM9", "-o"}, "-o needs a value"},
        {{"capture", "--port", "COM9", "-o", "x", "--seconds="}, "--seconds needs a value"},
        {{"capture", "--port", "COM9", "-o", "x", "--seconds=4"}, "--seconds takes a whole number from 5 to 360, not \"4\""},
        {{"info", "--port", "COM9", "--timeout=0"}, "--timeout takes a whole number from 1 to 3600"},
        {{"download", "--port", "COM9", "-o", "x", "--variant=Q"}, "--variant is D, C, G or star, not \"Q\""},
        {{"info", "--port=COM9", "--json=yes"}, "--json takes no value"},
        {{"info", "--port=COM9", "--quiet=1"}, "--quiet takes no value"},
        {{"info", "--port=COM9", "--verbose=2"}, "unknown option \"--verbose=2\""},
        {{"info", "--port=COM9", "-x"}, "unknown option \"-x\""},
        {{"set", "--port=COM9", "--threshold=20"}, "unknown option \"--threshold=20\""},
    };
    for (const Case& c : cases) {
        const cli::Parsed p = cli::parseArguments(c.args);
        const std::string what = c.args.join(' ').toStdString();
        if (*c.error == '\0')
            EXPECT_TRUE(p.error.isEmpty()) << what << " -> " << p.error.toStdString();
        else
            EXPECT_TRUE(p.error.contains(QString::fromUtf8(c.error))) << what << " -> \"" << p.error.toStdString() << "\"";
    }
    // Both spellings give the same options.
    const cli::Options a = cli::parseArguments(cases[0].args).options;
    for (const int i : {1, 2}) {
        const cli::Options b = cli::parseArguments(cases[i].args).options;
        EXPECT_EQ(b.port, a.port) << i;
        EXPECT_EQ(b.output, a.output) << i;
        EXPECT_EQ(b.variant, a.variant) << i;
        EXPECT_EQ(b.timeoutMs, a.timeoutMs) << i;
        EXPECT_EQ(b.quiet, a.quiet) << i;
    }
    EXPECT_EQ(a.port, QStringLiteral("COM9"));
    EXPECT_EQ(a.output, QStringLiteral("x.csv"));
    EXPECT_EQ(a.variant, QStringLiteral("C"));
    EXPECT_EQ(a.timeoutMs, 7000);
    EXPECT_TRUE(a.quiet);
    const cli::Options capture = cli::parseArguments(cases[3].args).options;
    EXPECT_EQ(capture.seconds, 20);
    EXPECT_EQ(capture.output, QStringLiteral("-"));
    // Only the first "=" ends the option's name.
    EXPECT_EQ(cli::parseArguments(cases[4].args).options.image, QStringLiteral("a=b.hex"));
}

// The help names every option the parser takes, and ports' help the kinds.
TEST(CliUsage, HelpNamesEveryOptionAndThePortKinds)
{
    const ZeltRun help = zelt({"--help"});
    ASSERT_EQ(help.code, 0) << shown(help);
    for (const char* option : {"--port", "--generic", "-o, --output", "--variant", "--allow-short", "--seconds", "--image",
                               "--json", "--timeout", "-q, --quiet", "-h, --help", "--port=COM9"})
        EXPECT_TRUE(help.out.contains(option)) << option << "\n" << shown(help);
    const ZeltRun ports = zelt({"ports", "--help"});
    for (const char* kind : {"\"logger\"", "\"generic adapter\"", "\"simulated logger\"", "\"other\"", "\"schema\": 1"})
        EXPECT_TRUE(ports.out.contains(kind)) << kind << "\n" << shown(ports);
    // Each command's help shows the output option's both spellings.
    for (const char* command : {"download", "capture"}) {
        const ZeltRun r = zelt({QString::fromLatin1(command), "--help"});
        EXPECT_TRUE(r.out.contains("-o|--output") && r.out.contains("-q|--quiet")) << command << "\n" << shown(r);
    }
}

// The JSON is UTF-8 whatever the locale, its values unpadded, the numeric
// settings numbers, and no control character reaches the terminal.
TEST(CliJson, EncodingIsUtf8AndValuesAreUnpadded)
{
    QJsonObject o;
    o[QStringLiteral("startMode")] = QStringLiteral("開始");
    o[QStringLiteral("identity")] = QStringLiteral("A\x1b" "B\x7f" "C") + QChar(0x85);
    const QByteArray bytes = cli::jsonBytes(o);
    EXPECT_TRUE(bytes.contains("\"startMode\": \"\xE9\x96\x8B\xE5\xA7\x8B\"")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\"A\\u001bB\\u007fC\\u0085\"")) << bytes.toStdString();
    EXPECT_TRUE(bytes.endsWith('\n'));
    QJsonParseError error;
    const QJsonObject back = QJsonDocument::fromJson(bytes, &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(back, o);

    struct Case {
        const char* name;
        QString reported;
        QJsonValue json;
    };
    const Case cases[] = {
        {"myId", QStringLiteral("042"), 42},
        {"wait", QStringLiteral("05"), 5},
        {"threshold", QStringLiteral("15"), 15},
        {"calibrationY", QStringLiteral("-02"), -2},
        {"calibrationX", QStringLiteral(" 03"), 3},
        {"recordCount", QStringLiteral("3600"), 3600},
        {"wait", QStringLiteral("0\x1b[5m"), QStringLiteral("0\x1b[5m")},  // not a number: the text
        {"range", QStringLiteral("02"), QStringLiteral("02")},              // a code, not a number
        {"sampling", QStringLiteral("0.5秒"), QStringLiteral("0.5秒")},
        {"identity", QStringLiteral(" LOGGER 01 "), QStringLiteral("LOGGER 01")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cli::settingJsonValue(c.name, c.reported), c.json) << c.name << " " << c.reported.toStdString();
}

TEST(CliJson, InfoAndPortsCarryTheSchemaAndTypedKeys)
{
    Logger logger(74);
    // The C locale: the bytes must still be UTF-8.
    const ZeltRun r = zelt({"info", "--port=" + com(74), "--json"}, 60000, {"LC_ALL=C", "LANG=C"});
    ASSERT_EQ(r.code, 0) << shown(r);
    EXPECT_TRUE(r.out.contains("\"startMode\": \"\xE9\x96\x8B\xE5\xA7\x8B\"")) << shown(r);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << shown(r);
    EXPECT_EQ(o.value("schema"), QJsonValue(1));
    EXPECT_EQ(o.value("port"), QJsonValue(QStringLiteral("COM74")));
    EXPECT_TRUE(o.value("device").toString().startsWith(QStringLiteral("/dev/"))) << shown(r);
    EXPECT_EQ(o.value("loggerNumber"), QJsonValue(QStringLiteral("20240624")));
    EXPECT_EQ(o.value("countsPerG"), QJsonValue(50));
    const QJsonObject s = o.value("settings").toObject();
    const std::pair<const char*, QJsonValue> expected[] = {
        {"myId", 42},          {"recordCount", 3600}, {"year", 2024},          {"interval", QStringLiteral("1sec")},
        {"sampling", QStringLiteral("0.5秒")}, {"range", QStringLiteral("02")}, {"threshold", 15},
        {"thresholdDetect", 1}, {"startMode", QStringLiteral("開始")}, {"wait", 5},
        {"buzzer", QStringLiteral("BZ-ON")}, {"status", QStringLiteral("RECORDING")}, {"hazard", 5},
        {"gravity", QStringLiteral("ON")}, {"endless", QStringLiteral("OFF")}, {"hundredHz", QStringLiteral("OFF")},
        {"display", 1},        {"df", 0},             {"calibrationX", 3},     {"calibrationY", -2},
        {"calibrationZ", 1},   {"identity", QStringLiteral("LOGGER 01")},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(s.value(QLatin1String(key)), value) << key << "\n" << shown(r);
    for (auto it = s.begin(); it != s.end(); ++it)
        EXPECT_TRUE(!it->isString() || it->toString() == it->toString().trimmed()) << it.key().toStdString() << " is padded";

    const ZeltRun ports = zelt({"ports", "--json"});
    ASSERT_EQ(ports.code, 0) << shown(ports);
    const QJsonObject p = QJsonDocument::fromJson(ports.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << shown(ports);
    EXPECT_EQ(p.value("schema"), QJsonValue(1));
    ASSERT_TRUE(p.value("ports").isArray()) << shown(ports);
    bool found = false;
    for (const QJsonValue& v : p.value("ports").toArray()) {
        const QJsonObject port = v.toObject();
        for (const char* key : {"com", "device", "usbId", "driver", "kind", "description"})
            EXPECT_TRUE(port.value(QLatin1String(key)).isString() || port.value(QLatin1String(key)).isNull())
                << key << "\n" << shown(ports);
        EXPECT_TRUE(QStringList({"logger", "generic adapter", "simulated logger", "other"}).contains(port.value("kind").toString()))
            << shown(ports);
        if (port.value("com") == QJsonValue(QStringLiteral("COM74"))) {
            found = true;
            EXPECT_EQ(port.value("kind"), QJsonValue(QStringLiteral("simulated logger")));
            EXPECT_TRUE(port.value("usbId").isNull()) << shown(ports);
            EXPECT_EQ(port.value("device"), o.value("device"));
        }
    }
    EXPECT_TRUE(found) << shown(ports);
}

// Every settable value info reports, given back to set, is taken: the
// logger receives the one command that value means, and ends as it was.
TEST(CliSet, EveryValueInfoReportsIsTakenBackAndSentAsItIs)
{
    struct Case {
        const char* what;
        char samplingCode, intervalCode, started;
        const char *threshold, *range, *wait;
        int id;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {"as delivered", '0', 'a', '1', "15", "02", "05", 42, {"ja", "i0", "d15", "02", "Y042", "w05", "o"}},
        {"changed", 'A', 'E', '0', "07", "20", "00", 7, {"jE", "iA", "d07", "20", "Y007", "w00", "f"}},
        {"fast trace", 'F', 'f', '1', "98", "50", "99", 255, {"jf", "iF", "d98", "50", "Y255", "w99", "o"}},
    };
    const std::pair<const char*, const char*> names[] = {{"interval", "interval"}, {"sampling", "sampling"},
                                                         {"threshold", "threshold"}, {"range", "range"},
                                                         {"myId", "id"}, {"wait", "wait"}, {"startMode", "start"}};
    Logger logger(75);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Settings given = logger.sim().settings();
        given.samplingCode = c.samplingCode;
        given.intervalCode = c.intervalCode;
        given.started = c.started;
        given.threshold = c.threshold;
        given.range = c.range;
        given.wait = c.wait;
        given.id = c.id;
        logger.sim().setSettings(given);

        const std::size_t beforeInfo = logger.sim().observations().commands.size();
        const ZeltRun info = zelt({"info", "--port", com(75), "--json"});
        ASSERT_EQ(info.code, 0) << shown(info);
        const std::vector<std::string> all = logger.sim().observations().commands;
        const std::vector<std::string> connect(all.begin() + long(beforeInfo), all.end());
        const QJsonObject s = QJsonDocument::fromJson(info.out).object().value("settings").toObject();
        for (std::size_t i = 0; i < std::size(names); ++i) {
            const QJsonValue v = s.value(QLatin1String(names[i].first));
            const QString value = v.isDouble() ? QString::number(v.toInt()) : v.toString();
            ASSERT_FALSE(value.isEmpty()) << names[i].first << "\n" << shown(info);
            const std::size_t before = logger.sim().observations().commands.size();
            const QString arg = QString::fromLatin1(names[i].second) + QLatin1Char('=') + value;
            const ZeltRun set = zelt({"set", "--port", com(75), arg});
            EXPECT_EQ(set.code, 0) << arg.toStdString() << "\n" << shown(set);
            const std::vector<std::string> now = logger.sim().observations().commands;
            std::vector<std::string> sent(now.begin() + long(before), now.end());
            // The connect as info made it, then the command, then the report read back.
            ASSERT_GE(sent.size(), connect.size()) << arg.toStdString();
            EXPECT_TRUE(std::equal(connect.begin(), connect.end(), sent.begin())) << arg.toStdString();
            sent.erase(sent.begin(), sent.begin() + long(connect.size()));
            sent.erase(std::remove(sent.begin(), sent.end(), std::string("p")), sent.end());
            EXPECT_EQ(sent, std::vector<std::string>{c.commands[i]}) << arg.toStdString();
        }
        const sim::Settings after = logger.sim().settings();
        EXPECT_EQ(after.samplingCode, c.samplingCode);
        EXPECT_EQ(after.intervalCode, c.intervalCode);
        EXPECT_EQ(after.started, c.started);
        EXPECT_EQ(after.threshold, c.threshold);
        EXPECT_EQ(after.range, c.range);
        EXPECT_EQ(after.wait, c.wait);
        EXPECT_EQ(after.id, c.id);
    }
}

// A sampling period the logger reports but the sampling command cannot
// send is confirmed when the logger has it, with nothing sent, and refused
// otherwise, before anything is sent.
TEST(CliSet, AValueTheLoggerOnlyReportsIsNeverSent)
{
    Logger logger(76);
    sim::Settings given = logger.sim().settings();
    given.samplingCode = '1';
    logger.sim().setSettings(given);
    const ZeltRun info = zelt({"info", "--port", com(76), "--json"});
    ASSERT_EQ(info.code, 0) << shown(info);
    const QString reported =
        QJsonDocument::fromJson(info.out).object().value("settings").toObject().value("sampling").toString();
    ASSERT_EQ(reported, QStringLiteral("0.16秒")) << shown(info);
    const auto sent = [&](std::size_t from) {
        const std::vector<std::string> all = logger.sim().observations().commands;
        return std::vector<std::string>(all.begin() + long(from), all.end());
    };
    const auto anyOf = [](const std::vector<std::string>& commands, char first) {
        return std::any_of(commands.begin(), commands.end(), [&](const std::string& c) { return !c.empty() && c[0] == first; });
    };

    std::size_t before = logger.sim().observations().commands.size();
    const ZeltRun same = zelt({"set", "--port", com(76), "sampling=" + reported});
    EXPECT_EQ(same.code, 0) << shown(same);
    EXPECT_TRUE(same.out.contains("nothing sent")) << shown(same);
    EXPECT_FALSE(anyOf(sent(before), 'i'));

    given.samplingCode = '0';
    logger.sim().setSettings(given);
    before = logger.sim().observations().commands.size();
    const ZeltRun other = zelt({"set", "--port", com(76), "threshold=20", "sampling=" + reported});
    EXPECT_EQ(other.code, 2) << shown(other);
    EXPECT_TRUE(other.err.contains("sampling=0.16\xE7\xA7\x92 cannot be set")) << shown(other);
    EXPECT_FALSE(anyOf(sent(before), 'i'));
    EXPECT_FALSE(anyOf(sent(before), 'd')) << "a change was sent before the refusal";
    EXPECT_EQ(logger.sim().settings().samplingCode, '0');
}

TEST(CliArguments, ProgressBarShowsCountRateAndTimeLeft)
{
    EXPECT_EQ(cli::Progress::barText(QStringLiteral("download"), 500, 1000, QStringLiteral("records"), 2.0),
              QStringLiteral("download [############............] 500/1000 records 50%, 2 s left, 250 records/s"));
    EXPECT_EQ(cli::Progress::barText(QStringLiteral("download"), 0, 0, QStringLiteral("records"), 0.0),
              QStringLiteral("download 0 records"));
    // A count past the total (the logger went on recording) stays a full bar.
    EXPECT_TRUE(cli::Progress::barText(QStringLiteral("d"), 12, 10, QStringLiteral("r"), 1.0)
                    .startsWith(QStringLiteral("d [########################] 12/10 r 100%")));
}

TEST(CliUsage, ProgramExitsWithTwoAndSaysWhyOrHelpsWithZero)
{
    for (const QStringList& args : {QStringList{}, QStringList{"frobnicate"}, QStringList{"info", "--port", "LPT1"},
                                    QStringList{"info", "--port", "/dev/null"},
                                    QStringList{"download", "--port", "COM9", "-o", "/no/such/folder/x.csv"}}) {
        const ZeltRun r = zelt(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << "\n" << shown(r);
        EXPECT_TRUE(r.err.startsWith("zelt: ")) << shown(r);
        EXPECT_TRUE(r.out.isEmpty()) << shown(r);
    }
    for (const char* command : {"ports", "info", "download", "capture", "set", "firmware", "monitor", "simulate"}) {
        const ZeltRun r = zelt({QString::fromLatin1(command), "--help"});
        EXPECT_EQ(r.code, 0) << command << "\n" << shown(r);
        EXPECT_TRUE(r.out.contains("usage: z")) << command << "\n" << shown(r);
    }
    const ZeltRun help = zelt({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* command : {"ports", "info", "download", "capture", "set", "firmware", "monitor", "simulate"})
        EXPECT_TRUE(help.out.contains(command)) << command;
}

// ---- download -----------------------------------------------------------

TEST(CliDownload, FullRecordingIsTheSameBytesAsTheWindowsSave)
{
    sim::Options options;
    options.recording = sim::RecordingKind::Full;
    Logger logger(61, options);
    PlainTempDir dir;
    ASSERT_TRUE(dir.usable());
    const QString cliFile = dir.path(QStringLiteral("cli.csv"));

    const ZeltRun r = zelt({"download", "--port", com(61), "-o", cliFile, "--quiet"});
    ASSERT_EQ(r.code, 0) << shown(r);
    EXPECT_TRUE(r.err.isEmpty()) << shown(r);
    const QByteArray cliBytes = fileBytes(cliFile);
    ASSERT_EQ(cliBytes.count("\r\n"), sim::kMemoryRecords + 2);
    // Only the finished file is left: no temporary one beside it.
    EXPECT_EQ(QDir(dir.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("cli.csv")});

    // To standard output, the same bytes.
    const ZeltRun toStdout = zelt({"download", "--port", com(61), "-o", "-", "--quiet"});
    ASSERT_EQ(toStdout.code, 0) << shown(toStdout);
    EXPECT_TRUE(toStdout.out == cliBytes) << toStdout.out.size() << " bytes against " << cliBytes.size();

    // The window: 取得, then 保存.
    TForm1& f = logger.tool.startTool();
    ASSERT_TRUE(waitForCondition([&] { return logger.tool.idle() && f.loggerReady == 1; }, 15000));
    f.Button30->click();
    ASSERT_TRUE(waitForCondition([&] { return f.downloadActive == 0 && logger.tool.idle(); }, 40000));
    logger.tool.dialogs.files.push_back(dir.path(QStringLiteral("window")));
    f.Button6->click();
    const QByteArray windowBytes = fileBytes(dir.path(QStringLiteral("window.csv")));
    ASSERT_FALSE(windowBytes.isEmpty());
    EXPECT_TRUE(windowBytes == cliBytes) << "window " << windowBytes.size() << " bytes, zelt " << cliBytes.size()
                                         << "; window starts " << windowBytes.left(60).toStdString() << ", zelt "
                                         << cliBytes.left(60).toStdString();
}

TEST(CliDownload, SilentLoggerFailsWithinTheTimeoutAndWritesNoFile)
{
    Logger logger(62);
    logger.sim().setSilence(sim::Silence::Nothing);
    PlainTempDir dir;
    const QString file = dir.path(QStringLiteral("x.csv"));
    const ZeltRun r = zelt({"download", "--port", com(62), "-o", file, "--timeout", "1"});
    EXPECT_EQ(r.code, 1) << shown(r);
    EXPECT_TRUE(r.err.contains("no answer from the logger on COM62 within 1 s")) << shown(r);
    EXPECT_EQ(r.err.count('\n'), 1) << "one line: " << shown(r);
    EXPECT_LT(r.ms, 8000);
    EXPECT_TRUE(QDir(dir.dir.path()).entryList(QDir::Files).isEmpty());
}

// A logger that sends slowly, so that the download is under way for a while.
sim::Options slowFullRecording()
{
    sim::Options options;
    options.recording = sim::RecordingKind::Full;
    return options;
}

TEST(CliDownload, UnplugMidDownloadWritesWhatArrivedAndFails)
{
    Logger logger(63, slowFullRecording());
    logger.sim().setSlow(0, 20000);  // 3 MB at 20 kB/s: minutes, unless cut
    PlainTempDir dir;
    const QString file = dir.path(QStringLiteral("x.csv"));
    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), {"download", "--port", com(63), "-o", file, "--quiet"});
    ASSERT_TRUE(waitForCondition([&] { return logger.saw("D"); }, 15000));
    logger.sim().unplug();
    ASSERT_TRUE(p.waitForFinished(15000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("download incomplete (port lost")) << err.toStdString();
    EXPECT_TRUE(err.contains("written to " + file.toUtf8())) << err.toStdString();
    // The records that arrived are the user's: the file holds them, and its
    // last line says how many of how many.
    const std::vector<QByteArray> lines = crLfLines(fileBytes(file));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[0].startsWith("Start Year=")) << lines[0].toStdString();
    EXPECT_TRUE(QString::fromLatin1(lines.back())
                    .contains(QRegularExpression(QStringLiteral("^// Download incomplete \\(port lost: .*\\): \\d+ of %1 records arrived //$")
                                                     .arg(sim::kMemoryRecords))))
        << lines.back().toStdString();
}

// The logger answers "C" and "G" with only the records not fetched yet,
// fewer than its report announced: the download says "N of M" for every
// variant, writes what came, and fails unless the user allows a short one.
TEST(CliDownload, ShortDownloadIsWrittenAndSaid)
{
    Logger logger(71);
    auto b = logger.sim().behaviour();
    b.partialRecall = true;
    logger.sim().setBehaviour(b);
    const int all = static_cast<int>(logger.sim().recording().records.size());
    const int half = all - all / 2;
    PlainTempDir dir;
    struct Case {
        QStringList extra;
        int records;
        int code;
    };
    const Case cases[] = {
        {{"--variant", "D"}, all, 0},
        {{"--variant", "C"}, half, 1},
        {{"--variant", "G"}, half, 1},
        {{"--variant", "star"}, half, 1},
        {{"--variant", "C", "--allow-short"}, half, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString file = dir.path(QStringLiteral("short%1.csv").arg(n++));
        const ZeltRun r = zelt(QStringList{"download", "--port", com(71), "-o", file, "--quiet"} + c.extra);
        const std::string what = c.extra.join(' ').toStdString();
        EXPECT_EQ(r.code, c.code) << what << "\n" << shown(r);
        const std::vector<QByteArray> lines = crLfLines(fileBytes(file));
        ASSERT_FALSE(lines.empty()) << what << ": no file written\n" << shown(r);
        const QByteArray note = QStringLiteral("// Download incomplete (the end mark came early): %1 of %2 records arrived //")
                                    .arg(half)
                                    .arg(all)
                                    .toLatin1();
        if (c.records == all) {
            EXPECT_EQ(lines.size(), size_t(all) + 2) << what;
            EXPECT_TRUE(r.err.isEmpty()) << what << "\n" << shown(r);
            continue;
        }
        EXPECT_EQ(lines.size(), size_t(half) + 3) << what;
        EXPECT_EQ(lines.back(), note) << what;
        if (c.code == 1) {
            EXPECT_TRUE(r.err.contains(QStringLiteral("%1 of %2 records arrived, written to ").arg(half).arg(all).toUtf8()))
                << what << "\n" << shown(r);
            EXPECT_EQ(r.err.count('\n'), 1) << what << ": one line\n" << shown(r);
        }
    }
    // To standard output as well: the data, then the failure.
    const ZeltRun toStdout = zelt({"download", "--port", com(71), "-o", "-", "--variant", "C", "--quiet"});
    EXPECT_EQ(toStdout.code, 1) << shown(toStdout);
    EXPECT_EQ(toStdout.out.count("\r\n"), half + 3) << shown(toStdout);
    EXPECT_TRUE(toStdout.err.contains("written to standard output")) << shown(toStdout);
}

TEST(CliDownload, InterruptLeavesNoFileAndTheLoggerUsable)
{
    Logger logger(64, slowFullRecording());
    logger.sim().setSlow(0, 20000);
    PlainTempDir dir;
    const QString file = dir.path(QStringLiteral("x.csv"));
    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), {"download", "--port", com(64), "-o", file, "--quiet"});
    ASSERT_TRUE(waitForCondition([&] { return logger.saw("D"); }, 15000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(15000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains("interrupted")) << err.toStdString();
    EXPECT_TRUE(QDir(dir.dir.path()).entryList(QDir::Files).isEmpty());

    logger.sim().setSlow(0, 0);
    const ZeltRun again = zelt({"info", "--port", com(64)});
    EXPECT_EQ(again.code, 0) << shown(again);
}

// ---- info, set ----------------------------------------------------------

TEST(CliInfo, JsonParsesAndCarriesTheIdentificationAndSettings)
{
    Logger logger(65);
    const ZeltRun r = zelt({"info", "--port", com(65), "--json"});
    ASSERT_EQ(r.code, 0) << shown(r);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << shown(r);
    ASSERT_TRUE(doc.isObject());
    const QJsonObject o = doc.object();
    EXPECT_EQ(o.value("port").toString(), QStringLiteral("COM65"));
    EXPECT_EQ(o.value("loggerNumber").toString(), QStringLiteral("20240624"));
    const QJsonObject s = o.value("settings").toObject();
    EXPECT_EQ(s.value("myId").toInt(), 42);
    EXPECT_EQ(s.value("interval").toString(), QStringLiteral("1sec"));
    EXPECT_EQ(s.value("threshold").toInt(), 15);
    EXPECT_EQ(s.value("startMode").toString(), QStringLiteral("開始"));
    EXPECT_EQ(o.value("countsPerG").toInt(), 50);

    const ZeltRun text = zelt({"info", "--port", com(65)});
    ASSERT_EQ(text.code, 0) << shown(text);
    EXPECT_TRUE(text.out.contains("loggerNumber     20240624")) << shown(text);

    // A port another program holds open is refused, and says so.
    {
        QtComPort holder([](const std::vector<SerialDeviceInfo>&) { return std::nullopt; });
        holder.setComNumber(65);
        holder.setOpen(true);
        const ZeltRun busy = zelt({"info", "--port", com(65)});
        EXPECT_EQ(busy.code, 1) << shown(busy);
        EXPECT_TRUE(busy.err.contains("in use by another program")) << shown(busy);
    }

    logger.sim().setSupportedModel(false);
    const ZeltRun other = zelt({"info", "--port", com(65)});
    EXPECT_EQ(other.code, 1) << shown(other);
    EXPECT_TRUE(other.err.contains("This is not a KTW-128")) << shown(other);
}

// What the logger sends cannot steer the terminal: control characters from
// the line, or from a file, are shown as escapes in output and messages.
TEST(CliTerminal, ControlCharactersFromTheLineAreShownEscaped)
{
    sim::Options options;
    options.loggerNumber = "2024\x1b[2J0624";
    Logger logger(73, options);
    sim::Settings s = logger.sim().settings();
    s.identity = "LOGGER\x1b]0;owned\x07 01";
    s.wait = "0\x1b[5m";
    logger.sim().setSettings(s);
    const auto raw = [](const QByteArray& bytes) {
        return std::any_of(bytes.begin(), bytes.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return (u < 0x20 && u != '\n') || u == 0x7F;
        });
    };

    const ZeltRun info = zelt({"info", "--port", com(73)});
    ASSERT_EQ(info.code, 0) << shown(info);
    EXPECT_FALSE(raw(info.out)) << shown(info);
    EXPECT_TRUE(info.out.contains("LOGGER\\x1B]0;owned\\x07 01")) << shown(info);
    EXPECT_TRUE(info.out.contains("wait             0\\x1B[5m")) << shown(info);

    // A message that quotes the line.
    auto b = logger.sim().behaviour();
    b.keepSettings = true;
    logger.sim().setBehaviour(b);
    const ZeltRun kept = zelt({"set", "--port", com(73), "wait=3"});
    EXPECT_EQ(kept.code, 1) << shown(kept);
    EXPECT_FALSE(raw(kept.err)) << shown(kept);
    EXPECT_TRUE(kept.err.contains("\\x1B")) << shown(kept);

    // A bad line of a firmware file is quoted the same way.
    PlainTempDir dir;
    const QString bad = dir.path(QStringLiteral("bad.hex"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(":10000000\x1b]0;owned\x07\r\n:00000001FF\r\n");
    }
    const ZeltRun refused = zelt({"firmware", "--port", com(73), "--image", bad});
    EXPECT_EQ(refused.code, 2) << shown(refused);
    EXPECT_FALSE(raw(refused.err)) << shown(refused);
    EXPECT_TRUE(refused.err.contains(":10000000\\x1B]0;owned\\x07")) << shown(refused);
}

TEST(CliSet, EachSettingIsSentAsTheWindowSendsItAndConfirmed)
{
    Logger logger(66);
    const ZeltRun r = zelt({"set", "--port", com(66), "interval=5min", "threshold=20", "id=7", "wait=3", "range=20",
                        "sampling=5msec", "start=sleep"});
    ASSERT_EQ(r.code, 0) << shown(r);
    const sim::Settings s = logger.sim().settings();
    EXPECT_EQ(s.intervalCode, 'E');
    EXPECT_EQ(s.threshold, "20");
    EXPECT_EQ(s.id, 7);
    EXPECT_EQ(s.wait, "03");
    EXPECT_EQ(s.range, "20");
    EXPECT_EQ(s.samplingCode, 'A');
    EXPECT_EQ(s.started, '0');
    for (const char* command : {"j" "E", "d20", "Y007", "w03", "20", "iA", "f"})
        EXPECT_TRUE(logger.saw(command)) << command;
    EXPECT_EQ(r.out.count("confirmed"), 7) << shown(r);

    // A value of the wrong kind is refused before the logger is asked.
    const int before = static_cast<int>(logger.sim().observations().commands.size());
    const ZeltRun bad = zelt({"set", "--port", com(66), "threshold=12", "interval=7min"});
    EXPECT_EQ(bad.code, 2) << shown(bad);
    EXPECT_EQ(static_cast<int>(logger.sim().observations().commands.size()), before);

    // A setting the logger does not take is an error.
    auto b = logger.sim().behaviour();
    b.keepSettings = true;
    logger.sim().setBehaviour(b);
    const ZeltRun kept = zelt({"set", "--port", com(66), "threshold=30"});
    EXPECT_EQ(kept.code, 1) << shown(kept);
    EXPECT_TRUE(kept.err.contains("the logger did not take threshold=30: it reports 20")) << shown(kept);
}

// clock=now starts a new recording, as 新規開始 does, and says so; a start
// mode given with it is what the logger is left in, whatever the order.
TEST(CliSet, ClockNowStartsANewRecordingAndTheStartModeAsked)
{
    const ZeltRun help = zelt({"set", "--help"});
    EXPECT_TRUE(QString::fromUtf8(help.out).contains(QStringLiteral("now: starts a new recording, as 新規開始")))
        << shown(help);

    Logger logger(71);
    const QRegularExpression clockCommand(QStringLiteral("^s\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    for (const QStringList& order : {QStringList{"start=sleep", "clock=now"}, QStringList{"clock=now", "start=sleep"}}) {
        SCOPED_TRACE(order.join(' ').toStdString());
        sim::Settings started = logger.sim().settings();
        started.started = '1';
        logger.sim().setSettings(started);
        const std::size_t before = logger.sim().observations().commands.size();
        const ZeltRun r = zelt(QStringList{"set", "--port", com(71)} + order);
        ASSERT_EQ(r.code, 0) << shown(r);
        EXPECT_EQ(logger.sim().settings().started, '0') << "the logger is left recording";
        EXPECT_TRUE(r.out.contains("clock=now sent: a new recording started")) << shown(r);
        EXPECT_TRUE(r.out.contains("start=Sleep confirmed")) << shown(r);
        // "s" with the time, its "t", then the sleep "f".
        const std::vector<std::string> all = logger.sim().observations().commands;
        const std::vector<std::string> sent(all.begin() + static_cast<long>(before), all.end());
        const auto s = std::find_if(sent.begin(), sent.end(), [&](const std::string& c) {
            return clockCommand.match(QString::fromStdString(c)).hasMatch();
        });
        ASSERT_NE(s, sent.end());
        ASSERT_LT(s + 1, sent.end());
        EXPECT_EQ(*(s + 1), "t");
        EXPECT_NE(std::find(s, sent.end(), std::string("f")), sent.end()) << "no sleep after the new recording";
    }
}

// ---- capture, monitor ---------------------------------------------------

TEST(CliCapture, FiveSecondsListAsTheWindowListsThem)
{
    Logger logger(67);
    PlainTempDir dir;
    const QString file = dir.path(QStringLiteral("cap.csv"));
    const ZeltRun r = zelt({"capture", "--port", com(67), "--seconds", "5", "-o", file, "--quiet"}, 30000);
    ASSERT_EQ(r.code, 0) << shown(r);
    const std::vector<QByteArray> lines = crLfLines(fileBytes(file));
    ASSERT_EQ(lines.size(), 2u + 999u + 1u);
    EXPECT_TRUE(lines[0].startsWith("Start Time=")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(" @1G=50")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("p=")) << lines[1].toStdString();
    const QRegularExpression sample(QStringLiteral(R"(^\d{4}/\d\d/\d\d [ \d]\d:\d\d:\d\d\.\d{3},[ -]*\d+,[ -]*\d+,[ -]*\d+, *-?[\d.]+$)"));
    for (size_t i = 2; i < lines.size() - 1; ++i)
        ASSERT_TRUE(sample.match(QString::fromLatin1(lines[i])).hasMatch()) << i << ": " << lines[i].toStdString();
    EXPECT_TRUE(lines[2].contains(":00.005,")) << lines[2].toStdString();
    EXPECT_TRUE(lines.back().startsWith("End=>")) << lines.back().toStdString();
    // The stream was stopped: the logger answers again.
    EXPECT_EQ(zelt({"info", "--port", com(67)}).code, 0);
}

TEST(CliMonitor, PrintsReadingsInGToTheMillisecondUntilInterrupted)
{
    Logger logger(68);
    sim::Reading reading;
    reading.x = 3;
    reading.y = -2;
    reading.z = 9;
    reading.tempTenths = 231;
    logger.sim().setReading(reading);
    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), {"monitor", "--port", com(68)});
    QByteArray out;
    ASSERT_TRUE(waitForCondition(
        [&] {
            out += p.readAllStandardOutput();
            return out.count('\n') >= 3;
        },
        15000))
        << out.toStdString() << p.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 130) << err.toStdString();
    // The logger's range makes 50 counts 1 G, and the header says the unit.
    EXPECT_TRUE(err.contains("@1G=50")) << err.toStdString();
    const QList<QByteArray> lines = out.split('\n');
    EXPECT_EQ(lines[0], "time,x(G),y(G),z(G),temperature(C)");
    const QRegularExpression row(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3},0\\.060,-0\\.040,0\\.180,23\\.1$"));
    for (int i : {1, 2})
        EXPECT_TRUE(row.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].toStdString();
}

// ---- firmware -----------------------------------------------------------

TEST(CliFirmware, UpdatesFromAValidatedHexFileOnly)
{
    sim::Options options;
    options.burstGapMs = 1;  // a line's answer at once: 7,500 round trips
    Logger logger(69, options);
    PlainTempDir dir;
    const QString bad = dir.path(QStringLiteral("bad.hex"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\nnot a record\r\n");
    }
    const ZeltRun refused = zelt({"firmware", "--port", com(69), "--image", bad, "--quiet"});
    EXPECT_EQ(refused.code, 2) << shown(refused);
    EXPECT_EQ(logger.sim().observations().loaderLines, 0);
    EXPECT_FALSE(logger.saw("m")) << "the logger was asked before the file was checked";

    const ZeltRun r = zelt({"firmware", "--port", com(69), "--image", ZELT_STANDIN_IMAGE}, 300000);
    ASSERT_EQ(r.code, 0) << shown(r);
    EXPECT_TRUE(r.out.startsWith("firmware updated from standin_image.hex (7525 lines)")) << shown(r);
    // The progress ends at the image's size, the lines left out included.
    EXPECT_TRUE(r.err.contains("7525/7525 lines 100%")) << shown(r);
    // Every line but the configuration words' two, and the restart "m" last.
    EXPECT_EQ(logger.sim().observations().loaderLines, 7522);
    EXPECT_TRUE(waitForCondition([&] { return !logger.sim().observations().loaderMode; }, 5000));

    logger.sim().setLoaderError(true);
    const ZeltRun rejected = zelt({"firmware", "--port", com(69), "--image", ZELT_STANDIN_IMAGE, "--quiet"}, 300000);
    EXPECT_EQ(rejected.code, 1) << shown(rejected);
    EXPECT_TRUE(rejected.err.contains("the loader reported an error")) << shown(rejected);
}

// The update as zelt runs it, on a port whose adapter takes the event
// character: the loader's answer byte from before the first line until the
// last is answered, then off, also when the update fails part way.
class EventCharacterPort : public QtComPort {
public:
    explicit EventCharacterPort(sim::Simulator& sim) : sim_(sim) {}
    bool setEventCharacter(std::optional<char> c) override
    {
        requests.push_back(c);
        linesTaken.push_back(sim_.observations().loaderLines);
        return true;
    }
    std::vector<std::optional<char>> requests;
    std::vector<int> linesTaken;  // the lines the loader had taken at each request

private:
    sim::Simulator& sim_;
};

TEST(CliFirmware, EventCharacterForTheLinesOnlyAndOffWhateverTheEnd)
{
    const HexFileResult standIn = loadHexFile(QStringLiteral(ZELT_STANDIN_IMAGE));
    ASSERT_TRUE(standIn.error.isEmpty()) << standIn.error.toStdString();
    for (const bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "adapter unplugged part way" : "completed");
        sim::Options options;
        options.burstGapMs = 1;
        Logger logger(74, options);
        auto owned = std::make_unique<EventCharacterPort>(logger.sim());
        EventCharacterPort& port = *owned;
        cli::Progress progress(cli::Progress::Style::Quiet);
        cli::Session session(progress, deadline(5000), std::move(owned));
        session.usePort(com(74), false);
        QTimer pull;
        QObject::connect(&pull, &QTimer::timeout, [&] {
            if (logger.sim().observations().loaderLines >= 100 && logger.sim().observations().plugged)
                logger.sim().unplug();
        });
        if (unplugged)
            pull.start(2);
        std::optional<QString> failed;
        try {
            session.firmware(standIn.lines, QByteArray(kConfigAddressRecord));
        } catch (const cli::Failure& f) {
            failed = f.reason;
        }
        pull.stop();
        EXPECT_EQ(failed.has_value(), unplugged) << failed.value_or(QString()).toStdString();
        ASSERT_EQ(port.requests, (std::vector<std::optional<char>>{'\x06', std::nullopt}));
        EXPECT_EQ(port.linesTaken.front(), 0);  // before line 0
        if (unplugged) {
            EXPECT_TRUE(failed->contains(QStringLiteral("port lost"))) << failed->toStdString();
            EXPECT_LT(port.linesTaken.back(), 7522);
        } else {
            EXPECT_EQ(port.linesTaken.back(), 7522);  // once the last line was answered
        }
    }
}

// ---- slow and endless loggers --------------------------------------------

// A logger busy with its memory or its clock starts its answer late: with
// the default timeout the download and a new start ("s" and the time, then
// "t" at its end mark) wait for it, and nothing queued is dropped.
TEST(CliSlowLogger, AnswersThatStartAfterTenSecondsAreWaitedFor)
{
    Logger logger(72);
    logger.sim().setSlowStart(10000, "Ds");
    PlainTempDir dir;
    const QString file = dir.path(QStringLiteral("slow.csv"));
    const ZeltRun download = zelt({"download", "--port", com(72), "-o", file, "--quiet"}, 120000);
    ASSERT_EQ(download.code, 0) << shown(download);
    EXPECT_GE(download.ms, 10000) << "the slow start was not in effect";
    EXPECT_EQ(crLfLines(fileBytes(file)).size(), logger.sim().recording().records.size() + 2);

    const ZeltRun start = zelt({"set", "--port", com(72), "start=now"}, 120000);
    ASSERT_EQ(start.code, 0) << shown(start);
    EXPECT_GE(start.ms, 10000) << "the slow start was not in effect";
    const std::vector<std::string> seen = logger.sim().observations().commands;
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2].substr(0, 1), "s") << seen[seen.size() - 2];
    EXPECT_EQ(seen.back(), "t") << "the follow-up of the new start was not sent";
}

// The far end of a pseudo-terminal, registered as a COM port, that answers
// the connect as a logger does and then, from the first command that begins
// with trigger, never stops talking: an enquiry for every byte it receives
// (which the tool answers, which brings the next), or record lines without end.
class Chatterbox {
public:
    enum class Kind { Enquiries, Records };

    Chatterbox(int comNumber, char trigger, Kind kind) : com_(comNumber), trigger_(trigger), kind_(kind)
    {
        qputenv("ZELT_PORT_DIR", portDir_.path().toLocal8Bit());
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        const std::string path = ptsname(master_);
        // Held open so that the tool's close never hangs the line up.
        slave_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (slave_ >= 0 && tcgetattr(slave_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave_, TCSANOW, &tio);
        }
        std::string error;
        registered_ = registerPort(com_, path, &error);
        EXPECT_TRUE(registered_) << error;
        thread_ = std::thread([this] { run(); });
    }
    ~Chatterbox()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (registered_)
            unregisterPort(com_);
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
        qunsetenv("ZELT_PORT_DIR");
    }
    bool ready() const { return registered_; }

private:
    void send(const std::string& bytes)
    {
        size_t at = 0;
        while (at < bytes.size() && !stop_) {
            const ssize_t n = ::write(master_, bytes.data() + at, bytes.size() - at);
            if (n > 0)
                at += size_t(n);
            else
                return;  // the line is full: what does not fit is dropped
        }
    }
    void run()
    {
        char buf[512];
        std::string line = "0123456789ABCDEF0123\r\n";
        std::string lines;
        for (int i = 0; i < 100; ++i)
            lines += line;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            ::poll(&p, 1, 2);
            const ssize_t n = ::read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buf[i];
                talking_ = talking_ || c == trigger_;
                if (talking_) {
                    if (kind_ == Kind::Enquiries)
                        send("\x05");
                } else if (c == 'm') {
                    send("JKTW128 SN=20240624\r\n#");
                } else if (c == 'p') {
                    send("#");
                } else if (c != '\x06') {
                    send("#");  // a longer command: one answer for the rest
                    break;
                }
            }
            if (talking_ && kind_ == Kind::Records)
                send(lines);
        }
    }

    QTemporaryDir portDir_;
    int com_;
    char trigger_;
    Kind kind_;
    int master_ = -1, slave_ = -1;
    bool registered_ = false;
    bool talking_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Whatever the command, a logger that never stops talking ends it within
// its deadline (twice the timeout: 2 s here) with one line and exit 1.
TEST(CliEndlessLogger, EveryCommandEndsWithOneLineAndExitOne)
{
    PlainTempDir dir;
    struct Case {
        QStringList args;
        char trigger;
        Chatterbox::Kind kind;
        const char* says;
    };
    using K = Chatterbox::Kind;
    const QString image = QStringLiteral(ZELT_STANDIN_IMAGE);
    const QString out = dir.path(QStringLiteral("out.csv"));
    const Case cases[] = {
        {{"info"}, 'm', K::Enquiries, "without ending its answer while connecting"},
        {{"info"}, 'p', K::Records, "without ending its answer while connecting"},
        {{"set", "threshold=20"}, 'd', K::Enquiries, "without ending its answer to \"d20\"; not sent: \"p\""},
        {{"monitor"}, 'n', K::Records, "without ending its answer for a reading"},
        {{"capture", "--seconds", "5", "-o", out}, 'n', K::Enquiries, "while asking for a reading"},
        {{"download", "-o", out}, 'D', K::Enquiries, "download incomplete (no record from the logger for 2 s)"},
        {{"firmware", "--image", image}, '\x03', K::Enquiries, "after the loader call"},
        {{"firmware", "--image", image}, '\x03', K::Records, "after the loader call"},
    };
    int com = 80;
    for (const Case& c : cases) {
        Chatterbox box(com, c.trigger, c.kind);
        ASSERT_TRUE(box.ready());
        const QStringList args = QStringList{c.args.first(), "--port", QStringLiteral("COM%1").arg(com++), "--timeout", "1",
                                             "--quiet"} +
                                 c.args.mid(1);
        const ZeltRun r = zelt(args, 60000);
        const std::string what = args.join(' ').toStdString();
        EXPECT_EQ(r.code, 1) << what << "\n" << shown(r);
        EXPECT_EQ(r.err.count('\n'), 1) << what << ": one line\n" << shown(r);
        EXPECT_TRUE(r.err.contains(c.says)) << what << "\n" << shown(r);
        EXPECT_LT(r.ms, 30000) << what;
    }
}

// The update leaves the logger time to enter its loader before "e", waits
// for a line's answer as long as --timeout says, and names the step that
// failed.
TEST(CliFirmware, WaitsForTheLoaderAndForSlowLinesAsTheTimeoutSays)
{
    sim::Options options;
    options.burstGapMs = 1;
    Logger logger(73, options);
    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM),
            {"firmware", "--port", com(73), "--image", ZELT_STANDIN_IMAGE, "--timeout", "30", "--quiet"});
    // One line's answer comes 7 s late, in the middle of the image.
    ASSERT_TRUE(logger.sim().waitFor([](const sim::Observations& o) { return o.loaderLines >= 200; }, 120000));
    logger.sim().setSlow(7000, 0);
    const int slowFrom = logger.sim().observations().loaderLines;
    ASSERT_TRUE(logger.sim().waitFor([&](const sim::Observations& o) { return o.loaderLines >= slowFrom + 2; }, 30000));
    logger.sim().setSlow(0, 0);
    ASSERT_TRUE(p.waitForFinished(300000));
    const QByteArray err = p.readAllStandardError();
    ASSERT_EQ(p.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("firmware updated from standin_image.hex (7525 lines)"));

    // "e" left at least a second after the loader call.
    const sim::Observations seen = logger.sim().observations();
    const auto call = std::find(seen.commands.begin(), seen.commands.end(), std::string("\x03\x06\x03\x06\x03"));
    const auto erase = std::find(call, seen.commands.end(), std::string("e"));
    ASSERT_TRUE(call != seen.commands.end() && erase != seen.commands.end());
    const auto gap = seen.commandTimes[size_t(erase - seen.commands.begin())] -
                     seen.commandTimes[size_t(call - seen.commands.begin())];
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(gap).count(), 950);

    // A loader that never answers "e": the step is named.
    ASSERT_TRUE(logger.sim().waitFor([](const sim::Observations& o) { return !o.loaderMode; }, 10000));
    QProcess silent;
    silent.start(QStringLiteral(ZELT_CLI_PROGRAM),
                 {"firmware", "--port", com(73), "--image", ZELT_STANDIN_IMAGE, "--timeout", "2", "--quiet"});
    ASSERT_TRUE(logger.sim().waitFor([](const sim::Observations& o) { return o.loaderMode; }, 30000));
    logger.sim().setSilence(sim::Silence::NoEndMark);
    ASSERT_TRUE(silent.waitForFinished(60000));
    const QByteArray said = silent.readAllStandardError();
    EXPECT_EQ(silent.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("after the loader call: Update not started: the logger did not answer \"e\" with \"#\" within 2 s"))
        << said.toStdString();
    EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
}

// Ctrl-C while the image goes out is refused, and the progress goes on to
// the image's last line.
TEST(CliFirmware, RefusedInterruptLeavesTheProgressCountingToTheEnd)
{
    Logger logger(72);
    logger.sim().setSlow(150, 0);  // each answer late: the update takes a while
    PlainTempDir dir;
    const QString image = dir.path(QStringLiteral("small.hex"));
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(":08000000AC6D1B00DC75D4009F\r\n:04000800FBFB780086\r\n:020000040001F9\r\n"
                ":08000000112233004455660093\r\n:020000040002F8\r\n"
                ":10AFF000FFFF00003FFF00007FCE00007F3F00000A\r\n:00000001FF\r\n;PIC24FJ128GA310\r\n");
    }
    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), {"firmware", "--port", com(72), "--image", image});
    QByteArray err;
    ASSERT_TRUE(waitForCondition(
        [&] {
            err += p.readAllStandardError();
            return err.contains("firmware [");
        },
        60000))
        << err.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(120000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    const qsizetype refused = err.indexOf("Ctrl-C is not taken");
    ASSERT_GE(refused, 0) << err.toStdString();
    // Eight records and the empty line after the last line end.
    EXPECT_GT(err.indexOf("9/9 lines 100%", refused), refused) << err.toStdString();
}

// ---- simulate, ports ----------------------------------------------------

TEST(CliSimulate, StartsALoggerThatTheOtherCommandsReach)
{
    QTemporaryDir portDir;
    qputenv("ZELT_PORT_DIR", portDir.path().toLocal8Bit());
    QProcess simulate;
    simulate.start(QStringLiteral(ZELT_CLI_PROGRAM), {"simulate", "--com", "70"});
    QByteArray banner;
    ASSERT_TRUE(waitForCondition(
        [&] {
            banner += simulate.readAllStandardOutput();
            return banner.contains("simulated logger on COM70");
        },
        10000))
        << banner.toStdString() << simulate.readAllStandardError().toStdString();

    const ZeltRun ports = zelt({"ports"});
    EXPECT_EQ(ports.code, 0) << shown(ports);
    EXPECT_TRUE(QString::fromUtf8(ports.out).contains(QRegularExpression(QStringLiteral("COM70 +/dev/pts/\\d+ .*simulated logger"))))
        << shown(ports);
    const ZeltRun info = zelt({"info", "--port", "auto"});
    EXPECT_EQ(info.code, 0) << shown(info);
    EXPECT_TRUE(info.out.contains("COM70")) << shown(info);

    simulate.terminate();
    ASSERT_TRUE(simulate.waitForFinished(10000));
    EXPECT_EQ(simulate.exitCode(), 0);
    const ZeltRun gone = zelt({"info", "--port", "auto", "--timeout", "1"});
    EXPECT_EQ(gone.code, 1) << shown(gone);
    EXPECT_TRUE(gone.err.contains("no logger found")) << shown(gone);
    qunsetenv("ZELT_PORT_DIR");
}

}  // namespace
