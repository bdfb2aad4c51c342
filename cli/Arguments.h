#pragma once
// The command line of zelt: which command, which port, which options. Plain
// rules, no port and no file touched here.
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace zelt::cli {

enum class Command { None, Ports, Info, Download, Capture, Set, Firmware, Monitor, Simulate };

struct Options {
    Command command = Command::None;
    bool help = false;
    QString port;            // "COM9", "/dev/ttyUSB0" or "auto"
    bool genericAdapter = false;  // --port auto also takes a generic adapter
    QString output;          // -o FILE, "-" for standard output
    QString variant = QStringLiteral("D");  // download: D, C, G or star
    int seconds = 0;         // capture
    QString image;           // firmware
    std::vector<std::pair<QString, QString>> settings;  // set NAME=VALUE ...
    bool json = false;
    bool quiet = false;
    int timeoutMs = 30000;   // longest silence of the logger, from its last byte
    bool allowShort = false; // download: fewer records than announced is no failure
    QStringList simulatorArguments;  // simulate: handed to the simulated logger
};

struct Parsed {
    Options options;
    QString error;  // empty when the command line is right
};

// Parses the arguments after the program name.
Parsed parseArguments(const QStringList& args);

// The general help, and the help of one command.
QString usageText();
QString commandHelp(Command command);

// The settings "zelt set" takes, NAME=VALUE: the names and what each takes.
struct SettingName {
    const char* name;
    const char* values;
};
const std::vector<SettingName>& settingNames();

}  // namespace zelt::cli
