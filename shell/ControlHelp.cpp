#include "shell/ControlHelp.h"

#include "platform/Language.h"
#include "shell/TForm1.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>

namespace zelt {

namespace {

// A control, what it sends the logger as the user sees it (nullptr when it
// sends nothing of its own) and what it does. "…" stands for the value the
// control takes from its box or the clock.
struct ControlHelp {
    const char* name;
    const char* sends;
    const char* does;
};

const ControlHelp kHelp[] = {
    {"Button8", "p", "ロガーの設定を読み出します"},
    {"Button37", nullptr, "ファームウェア更新のためにロガーをローダーに切り替えます"},
    {"Button39", nullptr, "ファームウェアをロガーに書き込みます"},
    {"ButtonHexFile", nullptr, "ファームウェアのHEXファイルを開きます"},
    {"Button4", nullptr, "ロガーのポートを探して接続します"},
    {"Button45", "e p", "e と p を1文字ずつ送り、ポートを閉じます"},
    {"Button46", "m", "情報の要求を1文字で送ります"},
    {"Button22", "hAAA", "ライブモニタを最初からやりなおします"},
    {"Button11", nullptr, "CSVファイルを開きます"},
    {"Button6", nullptr, "データをCSVファイルに保存します"},
    {"Button12", nullptr, "データをグラフで表示します"},
    {"Button30", "D", "記録データを取得します"},
    {"Button47", "C", "記録データをC形式で取得します"},
    {"Button3", "G", "記録データをG形式で取得します"},
    {"Button28", "G", "記録データをG形式で取得します（英語の見出し）"},
    {"Button10", nullptr, "ライブモニタを開始・終了します"},
    {"Button40", "n x", "5ms間隔のデータを取得します"},
    {"Button41", "Z", "Zを送り、応答を表示します"},
    {"Button15", "m", "ロガーの情報を表示します"},
    {"Button27", nullptr, "ログを設定ファイルとして保存します"},
    {"Button9", "d…", "閾値を送ります"},
    {"Button17", "j…", "記録間隔を次の分単位の間隔にします"},
    {"Button7", "o", "記録を開始します"},
    {"Button14", "f", "ロガーを待機（スリープ）にします"},
    {"Button2", "s… t", "時計を合わせて新しい記録を開始します"},
    {"Button1", "s… te m", "時計を合わせ、12秒後に m を送ります"},
    {"Button16", "t", "ロガーの時刻と予約を表示します"},
    {"Button29", "n", "現在の測定値を読みます"},
    {"Button56", "E", "Eを1文字で送ります"},
    {"Button44", "vp", "vpを送ります"},
    {"Button26", "N01", "N01を送り、次のティックで設定を読み出します"},
    {"Button20", "Oz…", "エンドレス記録を切り替えます"},
    {"Button21", "OX…", "100Hzを切り替えます"},
    {"Button24", "OZ…", "DFの値を送ります"},
    {"Button48", "L…", "Lの値を送ります"},
    {"Button50", "r…", "Recの値を送ります"},
    {"Button49", "W", "Wを送ります"},
    {"Button25", "q7", "調整用: q7を送ります"},
    {"Button33", "q5", "調整用: q5を送ります"},
    {"Button34", "q1", "調整用: q1を送ります"},
    {"Button35", "b0", "b0を送ります"},
    {"Button36", "b1", "b1を送ります"},
    {"Button43", "b0", "b0を送ります"},
    {"Button31", "q8", "BLEを設定します"},
    {"Button32", "q9", "BLEをリセットします"},
    {"Button53", "FX…", "X軸の調整値を送ります"},
    {"Button51", "FY…", "Y軸の調整値を送ります"},
    {"Button52", "FZ…", "Z軸の調整値を送ります"},
    {"Button54", "Kr", "ロガーの識別名を読み出します"},
    {"Button55", "Kw…", "ロガーの識別名を書き込みます"},
    {"Button38", "n", "接続済みにします（接続済みなら測定値を読みます）"},
    {"Button42", nullptr, "ポートを閉じます"},
    {"Button13", nullptr, "デバイスマネージャーを開きます"},
    {"Button18", "Ox…", "ハザードの値を送ります"},
    {"Button19", "Oy…", "Gravityを切り替えます"},
    {"Button23", "OY…", "表示の値を送ります"},
    {"Button5", "#", "#を送ります"},
    // Labels that act as buttons (Space or Return, a click or a double click).
    {"Label20", nullptr, "設定欄を表示・非表示にします"},
    {"Label17", nullptr, "IDを設定します"},
    {"Label26", "t", "予約日時を問い合わせます"},
    {"Label25", nullptr, "予約時間を設定します"},
    {"Label19", "z0/z1", "ブザーを切り替えます"},
    {"Label36", "e", "調整用: eを送ります"},
    {"Label30", nullptr, "開始設定を開きます"},
};

// The caption of a control in the current language, as the tool set it.
QString captionOf(const QWidget* w)
{
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    return QString();
}

}  // namespace

ControlHelpFeature::ControlHelpFeature(TForm1& form) : QObject(&form), f_(form)
{
    apply();
    // A change of language reaches every window as an event.
    f_.installEventFilter(this);
}

void ControlHelpFeature::apply()
{
    const QString sendsFormat = translated(QStringLiteral("（送信: %1）"));
    for (const ControlHelp& h : kHelp) {
        auto* w = f_.findChild<QWidget*>(QString::fromLatin1(h.name));
        if (!w)
            continue;
        const QString sends = h.sends ? sendsFormat.arg(QString::fromUtf8(h.sends)) : QString();
        // The caption as the tool set it, in the current language (the
        // caption itself may be shown a moment later).
        const QString caption = translated(w->property("zeltCaptionSource").isValid()
                                               ? w->property("zeltCaptionSource").toString()
                                               : captionOf(w));
        w->setToolTip(translated(QString::fromUtf8(h.does)) + sends);
        w->setAccessibleName(caption + sends);
        w->setAccessibleDescription(translated(QString::fromUtf8(h.does)));
    }
}

bool ControlHelpFeature::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &f_ && event->type() == QEvent::LanguageChange)
        apply();
    return false;
}

}  // namespace zelt
