#include "settings/SettingCommands.h"

#include "link/LinkState.h"
#include "platform/Cp932.h"
#include "settings/CommandText.h"

namespace zelt {

const QString kStartNow = QStringLiteral("今すぐ開始");
const QString kStartSleep = QStringLiteral("Sleep");
const QString kStartRunning = QStringLiteral("開始");
const QString kStartReserved = QStringLiteral("予約開始");
const QString kStartReservedMarked = QStringLiteral("予約開始*");

QByteArray thresholdCommand(const QString& text)
{
    return toCp932(QStringLiteral("d") + text);
}

QByteArray intervalCommand(const LinkState& state, int index)
{
    const char code = state.intervalCodes.at(index);
    return QByteArray(1, 'j') + (code != '\0' ? code : kIntervalCodes[index]);
}

QByteArray samplingCommand(const QString& text)
{
    return QByteArray(1, 'i') + samplingCodeFor(text);
}

QByteArray rangeCommand(const QString& text)
{
    return toCp932(text);
}

QByteArray idCommand(const QString& idText)
{
    return QByteArray("Y") + idText.toLatin1();
}

QByteArray waitCommand(const QString& waitText)
{
    return QByteArray("w") + waitText.toLatin1();
}

QByteArray clockCommand(const QString& nowText)
{
    return toCp932(QStringLiteral("s") + nowText);
}

std::optional<StartModeChange> startModeChange(const QString& text, const QString& nowText,
                                               const QString& reservationText)
{
    if (text == kStartNow)
        return StartModeChange{clockCommand(nowText), "t", {}, {}};
    if (text == kStartSleep)
        return StartModeChange{"f", "p", {}, {}};
    if (text == kStartRunning)
        return StartModeChange{"o", "p", {}, {}};
    if (text == kStartReserved || text == kStartReservedMarked)
        return StartModeChange{clockCommand(nowText), toCp932(QStringLiteral("l") + reservationText), "f", "t"};
    return std::nullopt;
}

}  // namespace zelt
