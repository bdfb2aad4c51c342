#pragma once
// The main window: connection controls, the log memo, the settings boxes and
// the command buttons, and the owner of the state every feature shares.
//
// Controls carry the names the handlers use for them. The handlers of the
// window live with the subsystem of their feature; this subsystem holds the
// window itself, its creation, the periodic tick and the connection.
#include "platform/Dialogs.h"
#include "platform/Preferences.h"
#include "platform/SettingsBox.h"
#include "platform/Widgets.h"
#include "shell/SharedState.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;

namespace zelt {

class ComPort;
class LoggerLink;
class Dialogs;
class LogMemo;
class PeriodicTimer;
class RegistryReader;

// What the main window needs from the operating system.
struct MainPlatform {
    ComPort* port = nullptr;
    RegistryReader* registry = nullptr;
    Dialogs* dialogs = nullptr;
    // Shows the system's device manager (or what stands for it).
    std::function<void(QWidget* owner)> openDeviceManager;
    // A notice for a port that is not a real adapter (the simulated logger),
    // empty for a real one.
    std::function<QString(int comNumber)> portNotice;
    // Screen size used to place the window at start.
    std::function<QSize()> screenSize;
    // What the windows remember between runs.
    Preferences* preferences = nullptr;
};

// Entry points that features of other subsystems provide to the receive
// path and the tick. Empty ones are skipped.
struct FeatureHooks {
    std::function<void(quint16 count)> onlineReceive;  // online capture takes the bytes
    std::function<void()> onlineAbandon;               // the capture's stream has stopped
    std::function<void()> firmwareReceive;             // firmware transfer takes the bytes
    std::function<void()> monitorLine;                 // a monitor reply line is complete
    std::function<void()> downloadComplete;            // the closing end mark of a download
    std::function<void(const QString& why)> downloadCutShort;  // a download ends without its end mark
    std::function<void()> monitorSwitchOff;            // leave the monitor as its button does
    std::function<void()> monitorStale;                // a reading did not come: show none
    std::function<void()> monitorReplyEnd;             // the end mark of a monitor reply
    // Asks the logger on the line whether it is the project's simulator
    // (see link/SimulatorProof.h); true only when it proved it.
    std::function<bool()> proveSimulator;
};

class TForm1 : public QWidget, public SharedState {
    Q_OBJECT
public:
    explicit TForm1(const MainPlatform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // Runs once before the window is first shown: places and sizes the
    // window, fills the lists and performs the first tick.
    void FormCreate();

    // Runs handler inside the error boundary: an error raised in it is shown
    // in a message box and the application runs on.
    void guard(const std::function<void()>& handler);
    // Connects a button's click (or a label's click) to a guarded handler.
    void onClick(QObject* control, std::function<void()> handler);
    void onDoubleClick(ClickLabel* control, std::function<void()> handler);

    // Periodic tick and the connection (port search, connect, link).
    void Timer1Timer();
    void Button4Click();   // connect
    void Button38Click();  // Hello
    void Button42Click();  // close
    void Button13Click();  // DeviceManager
    void establishLink();  // first answer after a connect action
    void showLinkedLook(); // the link picture, memo cleared, logger ready
    void noLinkLook();
    // The simulated-logger notice: shown only for a logger that has proved
    // on the line that it is the simulator, not for any port registered
    // under a COM number. The proof is asked once per connect, by the tick,
    // when the line is free.
    void checkSimulatorNotice();
    bool simulatorCheckPending = false;

    // Bytes came from the logger (the silent-logger watchdog's evidence).
    void noteLoggerActivity() { lastLoggerActivity_.restart(); }
    // How long the logger has sent nothing.
    qint64 loggerSilentForMs() const { return lastLoggerActivity_.elapsed(); }
    // The only time limit of an exchange: a logger that has sent nothing for
    // this long (counted from its last byte, or from the command when that
    // came later) has gone silent, and the exchange is abandoned. A logger
    // that is still sending, however slowly, is never cut. The user sets it
    // in the options (remembered); tests shorten it.
    int silentLoggerMs = kDefaultSilenceLimitS * 1000;
    static constexpr int kDefaultSilenceLimitS = 30;
    static constexpr char kSilenceLimitPreference[] = "line/silenceLimitSeconds";
    void setSilenceLimitSeconds(int seconds);
    void checkSilentLogger();
    // The device disappeared while the port was open.
    void portLost(const QString& reason);

    // Exchanges on the line. A command written to the logger (anything but
    // an acknowledgement or other control bytes, outside a capture or a
    // firmware transfer) awaits its end mark; meanwhile the tick leaves the
    // port open and sends nothing of its own, so that no answer is cut. An
    // answer whose logger goes silent is given up by the tick.
    bool exchangeRunning() const;
    void exchangeEnded()
    {
        awaitingAnswer_ = false;
        answerEnded_ = true;
    }
    // How long a reading of the live monitor may take before it is shown as
    // missing ("---"). Its reply is still waited for as any answer is, and
    // asked for again only once the logger has gone silent (`silentLoggerMs`).
    int monitorReplyLimitMs = 1000;

    // The log memo holds a data set (a recording or a capture listing, which
    // begins with "Start"): only the user's own actions replace it.
    bool memoHoldsDataSet() const;
    // A note of the tool's own: listed in the log, or, while the memo holds
    // a data set, shown in the answer line so the data set stays as it
    // arrived.
    void logNote(const QString& text);
    // While the memo holds a data set, the logger's answers (and the tool's
    // notes) are shown in the answer line above the memo instead: the
    // lines of the latest exchange, and the last ones before them in its
    // tooltip. Nothing is added to the data set.
    void showAnswer(const QString& line);
    // The memo is the log again: the answer line goes.
    void hideAnswers();
    static constexpr int kKeptAnswers = 20;

    void setCaption(const QString& caption);
    QString caption() const;

    // Runs when the main window has closed, after the tick has stopped and
    // the port has closed: the tool ends (the other windows close with it).
    std::function<void()> onMainWindowClosed;

    MainPlatform platform;
    FeatureHooks hooks;
    // The logger's side of the line: the receive path, the connect and the
    // end-mark queue, on this window's state.
    LoggerLink& link() const { return *link_; }
    Dialogs& dialogs() const { return *platform.dialogs; }

    // ---- controls -------------------------------------------------------
    ComPort* ApdComPort1 = nullptr;
    PeriodicTimer* Timer1 = nullptr;
    LogMemo* Memo1 = nullptr;
    LogMemo* Memo2 = nullptr;  // the carried firmware image

    // connection
    QLabel* Image4 = nullptr;  // no-link picture
    QLabel* Image5 = nullptr;  // link picture
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit19 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QListWidget* ListBox2 = nullptr;
    QSpinBox* UpDown1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button38 = nullptr;
    QPushButton* Button42 = nullptr;
    QPushButton* Button13 = nullptr;
    QPushButton* Button45 = nullptr;
    QPushButton* Button46 = nullptr;
    QPushButton* Button31 = nullptr;
    QPushButton* Button32 = nullptr;
    QPushButton* Button37 = nullptr;
    QPushButton* Button39 = nullptr;
    QPushButton* Button8 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label24 = nullptr;
    ClickLabel* Label25 = nullptr;
    ClickLabel* Label26 = nullptr;
    QLabel* Label41 = nullptr;
    QLabel* Label33 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label39 = nullptr;
    QLabel* Label15 = nullptr;  // start year (hidden)
    ClickLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    ClickLabel* Label20 = nullptr;
    QLabel* Label31 = nullptr;
    ClickLabel* Label30 = nullptr;
    QSpinBox* SilenceLimitBox = nullptr;  // seconds a silent logger is waited for
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* answerLine = nullptr;  // answers while the memo holds a data set
    QLabel* simulatorNotice = nullptr;  // names a simulated logger when one is attached

    // data
    QPushButton* Button11 = nullptr;  // FILE
    QPushButton* Button6 = nullptr;   // 保存
    QPushButton* Button12 = nullptr;  // グラフ
    QPushButton* Button30 = nullptr;  // 取得
    QPushButton* Button47 = nullptr;  // ENQ
    QPushButton* Button3 = nullptr;   // V3
    QPushButton* Button28 = nullptr;  // *
    QPushButton* Button10 = nullptr;  // モニタ
    QPushButton* Button40 = nullptr;  // 5ms
    QPushButton* Button41 = nullptr;  // Z
    QPushButton* Button27 = nullptr;  // SAV

    // monitor
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label27 = nullptr;
    QLabel* Label32 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QSlider* TrackBar2 = nullptr;
    QSlider* TrackBar3 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QPushButton* Button22 = nullptr;  // やりなおし

    // settings boxes
    SettingsBox* ComboBox1 = nullptr;  // threshold
    SettingsBox* ComboBox2 = nullptr;  // recording interval
    SettingsBox* ComboBox3 = nullptr;  // sampling period
    SettingsBox* ComboBox4 = nullptr;  // start mode
    SettingsBox* ComboBox5 = nullptr;  // range
    QPushButton* Button17 = nullptr;  // 10min
    QCheckBox* CheckBox2 = nullptr;   // threshold detection
    QLineEdit* Edit12 = nullptr;
    QPushButton* Button9 = nullptr;   // 検出値
    ClickLabel* Label19 = nullptr;    // buzzer
    ClickLabel* Label22 = nullptr;    // RUN

    // command rows
    QPushButton* Button15 = nullptr;  // 情報
    QPushButton* Button5 = nullptr;   // T
    QPushButton* Button44 = nullptr;  // OLD
    QPushButton* Button56 = nullptr;  // GPS
    QPushButton* Button29 = nullptr;  // GET
    QPushButton* Button16 = nullptr;  // 時間表示
    QPushButton* Button1 = nullptr;   // e
    QPushButton* Button2 = nullptr;   // 新規開始
    QPushButton* Button26 = nullptr;
    QPushButton* Button7 = nullptr;   // ON
    QPushButton* Button14 = nullptr;  // StandBy
    QPushButton* Button18 = nullptr;  // ハザード
    QPushButton* Button19 = nullptr;  // Gravity
    QPushButton* Button20 = nullptr;  // エンドレス
    QPushButton* Button21 = nullptr;  // 100hz
    QPushButton* Button23 = nullptr;  // 表示
    QPushButton* Button24 = nullptr;  // DF
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit11 = nullptr;
    ClickLabel* Label36 = nullptr;    // 調整用->
    QPushButton* Button25 = nullptr;  // LCD1
    QPushButton* Button33 = nullptr;  // DR50
    QPushButton* Button34 = nullptr;  // DR10
    QPushButton* Button35 = nullptr;  // N
    QPushButton* Button36 = nullptr;  // L
    QPushButton* Button43 = nullptr;  // 320
    QPushButton* Button48 = nullptr;  // L
    QLineEdit* Edit14 = nullptr;
    QPushButton* Button49 = nullptr;  // W
    QPushButton* Button50 = nullptr;  // Rec
    QLineEdit* Edit15 = nullptr;
    QPushButton* Button53 = nullptr;  // X2
    QPushButton* Button51 = nullptr;  // Y2
    QPushButton* Button52 = nullptr;  // Z2
    QLineEdit* Edit20 = nullptr;
    QLineEdit* Edit16 = nullptr;
    QLineEdit* Edit17 = nullptr;
    QPushButton* Button54 = nullptr;  // id
    QPushButton* Button55 = nullptr;  // Wid
    QLineEdit* Edit21 = nullptr;

    // firmware
    QLineEdit* Edit22 = nullptr;  // skip key

    // The file dialogs keep their settings and last file name between uses.
    FileRequest SaveDialog1;
    FileRequest OpenDialog1;

protected:
    // Closing the main window ends the tool: nothing is sent to the logger,
    // the tick and the watchdog stop and the port closes.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void commandWritten(const QByteArray& bytes);
    // The tick's look at a running exchange: true while it may go on; an
    // exchange past its limit is given up here.
    bool exchangeMayGoOn();
    // Empties the queue of follow-up commands; the text names those that
    // were dropped unsent (empty when none was queued).
    QString dropQueuedCommands();
    // "// No answer from the logger for N s: exchange abandoned //", naming
    // the queued commands left unsent.
    QString abandonedNote(const QString& unsent) const;

    std::unique_ptr<LoggerLink> link_;
    QElapsedTimer lastLoggerActivity_;
    bool awaitingAnswer_ = false;
    QElapsedTimer answerAwaitedSince_;
    bool answerShownLate_ = false;  // the monitor's late reading is shown as missing
    QStringList answers_;          // the last answers shown in the answer line
    int latestAnswerLines_ = 0;    // how many of them the latest exchange gave
    bool answerEnded_ = true;      // the next answer starts a new exchange's
    QElapsedTimer tickStoppedSince_;
    QTimer* watchdog_ = nullptr;
};

}  // namespace zelt
