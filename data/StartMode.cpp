#include "data/StartMode.h"

#include "data/TForm5.h"
#include "link/ComPort.h"
#include "settings/SettingCommands.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/PeriodicTimer.h"
#include "shell/TForm1.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <string_view>

namespace zelt {

namespace {


// A reserved time more than this many key units after the one shown (about
// half a month) is asked about.
constexpr int kFarAheadKeyUnits = 150000;

int boxValue(const QComboBox* box)
{
    return box->currentText().trimmed().toInt();
}

}  // namespace

int reservationKey(int month, int day, int hour, int minute)
{
    return month * 1000000 + day * 10000 + hour * 100 + minute;
}

QString reservationBoxBeforeDigit(const QString& text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        t = QStringLiteral("00");
    if (t.size() > 2)
        t.truncate(2);
    return t;
}

QString reservationBoxWithDigit(const QString& text, QChar digit)
{
    const QString t = reservationBoxBeforeDigit(text) + digit;
    return t.size() > 2 ? t.right(2) : t;
}

StartModeFeature::StartModeFeature(TForm1& form, TForm5& dialog) : QObject(&dialog), f_(form), d_(dialog)
{
    // Start-mode box: only what the user types or chooses sends.
    connect(f_.ComboBox4, &SettingsBox::userChanged, this,
            [this](const QString& text) { f_.guard([this, text] { ComboBox4Change(text); }); });

    f_.onDoubleClick(f_.Label25, [this] { Label25DblClick(); });
    f_.onDoubleClick(f_.Label26, [this] { Label26DblClick(); });

    d_.installEventFilter(this);
    for (QComboBox* box : {d_.ComboBox1, d_.ComboBox2, d_.ComboBox3, d_.ComboBox4}) {
        // The keys go to the box, which hands them to its line edit itself
        // (not as events the line edit's filters see): the filter sits on
        // the box.
        box->installEventFilter(this);
        // Nor does a character come in past it: no input method, no paste,
        // no drop.
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        if (QLineEdit* edit = box->lineEdit()) {
            edit->setAttribute(Qt::WA_InputMethodEnabled, false);
            edit->setContextMenuPolicy(Qt::NoContextMenu);
            edit->setAcceptDrops(false);
        }
    }
    connect(d_.ComboBox2, &SettingsBox::userChanged, this, [this] { f_.guard([this] { ComboBox2Change(); }); });

    f_.onClick(d_.Button1, [this] { Button1Click(); });
    connect(d_.Timer1, &PeriodicTimer::timeout, this, [this] { f_.guard([this] { Timer1Timer(); }); });
}

bool StartModeFeature::busy() const
{
    // A download, an online capture or a firmware transfer has the line:
    // commands sent now would land in the middle of its data.
    return f_.downloadActive != 0 || f_.onlineRow != 0 || f_.firmwareSending != 0;
}

void StartModeFeature::ComboBox4Change(const QString& text)
{
    if (!f_.loggerReady || busy())
        return;
    // Every choice that sends replaces the first queued command with its own
    // follow-up. A choice that sends nothing leaves the queue as it was: a
    // "k0" left behind would go out at the next command's end mark and
    // switch the threshold detection off unasked.
    const bool reserved = text == kStartReserved || text == kStartReservedMarked;
    if (reserved && f_.reservationState == 0) {
        // No time confirmed since the link came up: ask for one first.
        f_.reservationState = 2;
        d_.show();
        return;
    }
    const std::optional<StartModeChange> change = startModeChange(text, f_.nowText, f_.reservationText);
    if (!change)
        return;
    ComPort& port = *f_.ApdComPort1;
    if (!port.Open())
        port.setOpen(true);
    port.PutString(change->command);
    f_.queuedCommand1 = std::string_view(change->queued1.constData(), static_cast<size_t>(change->queued1.size()));
    if (!change->queued2.isEmpty())
        f_.queuedCommand2 = std::string_view(change->queued2.constData(), static_cast<size_t>(change->queued2.size()));
    if (!change->queued3.isEmpty())
        f_.queuedCommand3 = std::string_view(change->queued3.constData(), static_cast<size_t>(change->queued3.size()));
    f_.Timer1->setInterval(0);
}

void StartModeFeature::Label25DblClick()
{
    d_.show();
}

void StartModeFeature::Label26DblClick()
{
    if (!f_.loggerReady || busy())
        return;
    ComPort& port = *f_.ApdComPort1;
    if (!port.Open())
        port.setOpen(true);
    port.FlushInBuffer();
    port.PutString("t");
}

int StartModeFeature::boxKey() const
{
    return reservationKey(boxValue(d_.ComboBox1), boxValue(d_.ComboBox2), boxValue(d_.ComboBox3),
                          boxValue(d_.ComboBox4));
}

void StartModeFeature::FormShow()
{
    // The dialog sits over the middle of the main window.
    d_.move(f_.geometry().center() - d_.rect().center());

    // "mm/dd hh:mm", or "mm/dd h:mm" with a one-digit hour.
    const QString& r = f_.reservationText;
    d_.ComboBox1->showText(r.mid(0, 2));
    d_.ComboBox2->showText(r.mid(3, 2));
    if (r.size() > 8 && r.at(8) == QLatin1Char(':')) {
        d_.ComboBox3->showText(r.mid(6, 2));
        d_.ComboBox4->showText(r.mid(9, 2));
    } else {
        d_.ComboBox3->showText(QStringLiteral("0") + r.mid(6, 1));
        d_.ComboBox4->showText(r.mid(8, 2));
    }
    d_.reservationKeyAtShow = boxKey();
}

void StartModeFeature::Button1Click()
{
    const int difference = boxKey() - d_.reservationKeyAtShow;
    if (difference < 0)
        f_.dialogs().message(QStringLiteral("来年の話ですけど、よいですか？"));
    if (difference > kFarAheadKeyUnits)
        f_.dialogs().message(QStringLiteral("ずいぶんさきですけど、よいですか？"));
    f_.reservationText = d_.ComboBox1->currentText() + QLatin1Char('/') + d_.ComboBox2->currentText() +
                         QLatin1Char(' ') + d_.ComboBox3->currentText() + QLatin1Char(':') +
                         d_.ComboBox4->currentText();
    d_.hide();
    f_.Label25->setText(f_.reservationText);
    if (f_.reservationState == 2) {
        // The start-mode box asked for this time: the reserved start goes out now.
        f_.reservationState = 1;
        ComboBox4Change(f_.ComboBox4->currentText());
    }
    f_.reservationState = 1;
}

void StartModeFeature::ComboBox2Change()
{
    const int month = boxValue(d_.ComboBox1);
    const int day = boxValue(d_.ComboBox2);
    d_.pendingDay = day;
    if (month == 2) {
        if (day == 29) {
            f_.dialogs().message(QStringLiteral("うるう年ですか？"));
        } else if (day >= 30) {
            f_.dialogs().message(QStringLiteral("その日は指定できません"));
            d_.pendingDay = 28;
        }
    } else if (month == 4 || month == 6 || month == 9 || month == 11) {
        if (day == 31) {
            f_.dialogs().message(QStringLiteral("その日は指定できません"));
            d_.pendingDay = 30;
        }
    }
}

void StartModeFeature::Timer1Timer()
{
    if (d_.pendingDay != 0)
        d_.ComboBox2->showText(QStringLiteral("%1").arg(d_.pendingDay, 2, 10, QLatin1Char('0')));
}

void StartModeFeature::digitTyped(QComboBox* box, QChar digit)
{
    QLineEdit* edit = box->lineEdit();
    QString text = edit->text();
    if (edit->hasSelectedText())
        text.remove(edit->selectionStart(), edit->selectedText().size());
    edit->setText(reservationBoxWithDigit(text, digit));
    if (box == d_.ComboBox2)
        f_.guard([this] { ComboBox2Change(); });
}

bool StartModeFeature::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &d_) {
        if (event->type() == QEvent::Show)
            f_.guard([this] { FormShow(); });
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    for (QComboBox* box : {d_.ComboBox1, d_.ComboBox2, d_.ComboBox3, d_.ComboBox4}) {
        if (watched != box)
            continue;
        const QString text = key->text();
        if (text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')) {
            digitTyped(box, text.at(0));
            return true;
        }
        // Every other character (erasing ones included) is dropped; keys
        // without a character (arrows, Tab) keep their usual work.
        return !text.isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete;
    }
    return false;
}

}  // namespace zelt
