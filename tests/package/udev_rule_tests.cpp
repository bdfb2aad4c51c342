// The udev rule of the package, read as udev reads it: every rule a list of
// KEY op "value" pairs acting on "add" and "change" (so that "udevadm
// trigger" applies it to a logger already plugged in); the FTDI driver loaded
// by udev's kmod builtin and told the logger's adapter; its device given 1 ms
// latency and access for the user and dialout; the generic adapter's latency
// set only for the adapter the tool looks for. And the desktop entry's keys.
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

struct Pair {
    QString key, op, value;
};
using Rule = std::vector<Pair>;

QByteArray fileText(const char* path)
{
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Splits a rule line into its pairs; a pair that is not KEY op "value" is a
// failure of the line.
Rule parseRule(const QString& line, QString* error)
{
    static const QRegularExpression pair(
        QStringLiteral(R"re(\G\s*([A-Z_]+(?:\{[^}]+\})?)\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$))re"));
    Rule rule;
    qsizetype pos = 0;
    while (pos < line.size()) {
        const QRegularExpressionMatch m = pair.match(line, pos);
        if (!m.hasMatch()) {
            *error = QStringLiteral("cannot read from: ") + line.mid(pos);
            return {};
        }
        rule.push_back({m.captured(1), m.captured(2), m.captured(3)});
        pos = m.capturedEnd();
        if (m.captured(4).isEmpty())
            break;
    }
    return rule;
}

bool has(const Rule& r, const QString& key, const QString& op, const QString& value)
{
    for (const Pair& p : r)
        if (p.key == key && p.op == op && p.value == value)
            return true;
    return false;
}

std::vector<Rule> rules()
{
    std::vector<Rule> all;
    const QStringList lines = QString::fromUtf8(fileText(ZELT_UDEV_RULE)).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString error;
        all.push_back(parseRule(line, &error));
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }
    return all;
}

TEST(UdevRule, EveryPairIsAKeyAnOperatorAndAQuotedValue)
{
    const std::vector<Rule> all = rules();
    ASSERT_EQ(all.size(), 3u);
    // Keys udev knows, with the operators they take: matches compare,
    // assignments assign.
    const QStringList matchKeys = {"ACTION", "SUBSYSTEM", "KERNEL", "ENV{DEVTYPE}"};
    const QStringList assignKeys = {"GROUP", "MODE", "TAG", "RUN", "RUN{builtin}", "ENV{ID_MM_DEVICE_IGNORE}"};
    for (const Rule& r : all) {
        ASSERT_FALSE(r.empty());
        bool assigns = false;
        for (const Pair& p : r) {
            const bool match = p.op == "==" || p.op == "!=";
            if (matchKeys.contains(p.key) || p.key.startsWith("ATTRS{"))
                EXPECT_TRUE(match) << p.key.toStdString() << p.op.toStdString();
            else if (assignKeys.contains(p.key))
                EXPECT_FALSE(match) << p.key.toStdString() << p.op.toStdString();
            else
                EXPECT_TRUE(p.key.startsWith("ATTR{")) << "unknown key " << p.key.toStdString();
            assigns = assigns || !match;
        }
        EXPECT_TRUE(assigns) << "a rule that changes nothing";
        EXPECT_TRUE(has(r, "ACTION", "==", "add|change"));
    }
}

TEST(UdevRule, LoggerAdapterIsGivenToTheDriverWithLowLatencyAndAccess)
{
    const std::vector<Rule> all = rules();
    ASSERT_EQ(all.size(), 3u);
    // The USB device: the driver is loaded (by udev itself, not a modprobe
    // process) and told the id.
    const Rule& usb = all[0];
    EXPECT_TRUE(has(usb, "SUBSYSTEM", "==", "usb"));
    EXPECT_TRUE(has(usb, "ATTR{idVendor}", "==", "0fe3") && has(usb, "ATTR{idProduct}", "==", "6002"));
    EXPECT_TRUE(has(usb, "RUN{builtin}", "+=", "kmod load ftdi_sio"));
    for (const Pair& p : usb)
        EXPECT_FALSE(p.value.contains(QStringLiteral("modprobe"))) << p.value.toStdString();
    EXPECT_TRUE(has(usb, "RUN", "+=",
                    "/bin/sh -c 'echo 0fe3 6002 > /sys/bus/usb-serial/drivers/ftdi_sio/new_id || true'"));
    // Its tty: 1 ms, the user at the desk and the dialout group.
    const Rule& tty = all[1];
    EXPECT_TRUE(has(tty, "SUBSYSTEM", "==", "tty"));
    EXPECT_TRUE(has(tty, "ATTRS{idVendor}", "==", "0fe3") && has(tty, "ATTRS{idProduct}", "==", "6002"));
    EXPECT_TRUE(has(tty, "ATTR{device/latency_timer}", "=", "1"));
    EXPECT_TRUE(has(tty, "TAG", "+=", "uaccess"));
    EXPECT_TRUE(has(tty, "GROUP", "=", "dialout"));
    EXPECT_TRUE(has(tty, "MODE", "=", "0660"));
    // The generic adapter: 1 ms as well, but only the one the tool looks for
    // (serial number FTDI0001), not every FT232R adapter of the machine.
    const Rule& generic = all[2];
    EXPECT_TRUE(has(generic, "ATTRS{idVendor}", "==", "0403") && has(generic, "ATTRS{idProduct}", "==", "6001"));
    EXPECT_TRUE(has(generic, "ATTRS{serial}", "==", "FTDI0001"));
    EXPECT_TRUE(has(generic, "ATTR{device/latency_timer}", "=", "1"));
}

TEST(UdevRule, ParserRefusesWhatUdevWouldNot)
{
    QString error;
    EXPECT_EQ(parseRule(QStringLiteral(R"(ACTION=="add", GROUP="dialout")"), &error).size(), 2u);
    EXPECT_TRUE(error.isEmpty());
    for (const char* bad : {R"(ACTION=="add" GROUP="dialout")", R"(ACTION=add)", R"(action=="add")",
                            R"(ACTION=="add", MODE=="0660)"}) {
        error.clear();
        parseRule(QString::fromLatin1(bad), &error);
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(DesktopEntry, StartsTheToolFromTheMenuWithItsIcon)
{
    const QStringList lines = QString::fromUtf8(fileText(ZELT_DESKTOP_ENTRY)).split(QLatin1Char('\n'));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    std::map<QString, QString> keys;
    for (const QString& line : lines.mid(1)) {
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        ASSERT_GT(eq, 0) << line.toStdString();
        EXPECT_TRUE(keys.emplace(line.left(eq), line.mid(eq + 1)).second) << "twice: " << line.toStdString();
    }
    EXPECT_EQ(keys["Type"], QStringLiteral("Application"));
    EXPECT_EQ(keys["Exec"], QStringLiteral("zelt-view"));
    EXPECT_EQ(keys["Icon"], QStringLiteral("zelt-view"));
    EXPECT_EQ(keys["Name"], QStringLiteral("ZELT-VIEW"));
    // Japanese beside the English, for a desktop in Japanese.
    EXPECT_EQ(keys["Name[ja]"], QStringLiteral("ZELT-VIEW"));
    EXPECT_TRUE(keys["Comment[ja]"].contains(QStringLiteral("加速度データロガー"))) << keys["Comment[ja]"].toStdString();
    EXPECT_TRUE(keys["Categories"].endsWith(QLatin1Char(';')));
    EXPECT_TRUE(keys["Categories"].contains(QStringLiteral("Science")));
}

}  // namespace
