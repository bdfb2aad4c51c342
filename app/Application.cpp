#include "app/Application.h"

#include "app/About.h"

#include "data/Download.h"
#include "firmware/Firmware.h"
#include "data/Monitor.h"
#include "data/OnlineCapture.h"
#include "data/StartMode.h"
#include "data/Statistics.h"
#include "data/TForm4.h"
#include "data/TForm5.h"
#include "graph/GraphFeature.h"
#include "graph/TForm2.h"
#include "shell/Dispatcher.h"
#include "link/SystemComPort.h"
#include "platform/SelectPortDialog.h"
#include "platform/Dialogs.h"
#include "platform/Language.h"
#include "platform/PortDirectory.h"
#include "platform/SerialDevicesView.h"
#include "platform/SystemRegistry.h"
#include "settings/CommandButtons.h"
#include "settings/IdWaitDialogs.h"
#include "settings/SettingsBoxes.h"
#include "shell/ControlHelp.h"
#include "settings/TForm3.h"
#include "settings/WindowSize.h"
#include "shell/TForm1.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <vector>

namespace zelt {

// The platform pieces the application made itself (those not supplied).
struct Application::Owned {
    std::unique_ptr<QtDialogs> dialogs;
    std::unique_ptr<SystemRegistry> registry;
    std::unique_ptr<ComPort> port;
    std::unique_ptr<SystemPreferences> preferences;
    std::unique_ptr<FolderMemoryDialogs> folderMemory;
    // The features, in the order they were made (see ~Application).
    std::vector<QPointer<QObject>> features;
};

Application::Application(const Options& options) : owned_(std::make_unique<Owned>())
{
    MainPlatform platform;
    if (options.dialogs) {
        platform.dialogs = options.dialogs;
    } else {
        owned_->dialogs = std::make_unique<QtDialogs>();
        platform.dialogs = owned_->dialogs.get();
    }
    if (options.registry) {
        platform.registry = options.registry;
    } else {
        owned_->registry = std::make_unique<SystemRegistry>();
        platform.registry = owned_->registry.get();
    }
    if (options.port) {
        platform.port = options.port;
    } else {
        owned_->port = makeSystemComPort(
            [](const std::vector<SerialDeviceInfo>& ports) { return askForPort(nullptr, ports); });
        platform.port = owned_->port.get();
    }
    if (options.preferences) {
        platform.preferences = options.preferences;
    } else {
        owned_->preferences = std::make_unique<SystemPreferences>();
        platform.preferences = owned_->preferences.get();
    }
    // Every file dialog starts in the folder last used.
    owned_->folderMemory = std::make_unique<FolderMemoryDialogs>(*platform.dialogs, platform.preferences);
    platform.dialogs = owned_->folderMemory.get();
    const QSize screen = options.screen;
    platform.screenSize = [screen] {
        if (screen.isValid())
            return screen;
        const QScreen* primary = QGuiApplication::primaryScreen();
        return primary ? primary->size() : QSize(1024, 768);
    };
    platform.openDeviceManager = [](QWidget* owner) { showSerialDevices(owner); };
    platform.portNotice = [](int comNumber) {
        const auto registered = registeredPorts();
        const auto it = registered.find(comNumber);
        if (it == registered.end())
            return QString();
        return QStringLiteral("Simulated logger on COM%1 (%2)").arg(comNumber).arg(QString::fromStdString(it->second));
    };

    // The six windows, in order; the main window first.
    form1_ = std::make_unique<TForm1>(platform);
    if (owned_->dialogs)
        owned_->dialogs->setParent(form1_.get());
    const auto feature = [this](QObject* made) { owned_->features.emplace_back(made); };
    feature(new Dispatcher(*form1_));
    feature(new DownloadFeature(*form1_));
    feature(new FirmwareFeature(*form1_));
    feature(new MonitorFeature(*form1_));
    feature(new OnlineCaptureFeature(*form1_));
    feature(new WindowSizeFeature(*form1_));
    feature(new CommandButtonsFeature(*form1_));
    feature(new SettingsBoxesFeature(*form1_));
    feature(new ControlHelpFeature(*form1_));
    feature(new AboutFeature(*form1_));
    form2_ = std::make_unique<TForm2>();
    form3_ = std::make_unique<TForm3>(form1_->Label18->text());
    form4_ = std::make_unique<TForm4>();
    form5_ = std::make_unique<TForm5>();
    form6_ = std::make_unique<TForm6>();
    feature(new GraphFeature(*form1_, *form2_, *form4_));
    feature(new IdWaitDialogsFeature(*form1_, *form3_, *form6_));
    feature(new StatisticsFeature(*form4_, *form1_));
    feature(new StartModeFeature(*form1_, *form5_));

    // The main window's close ends the tool even while another window (a
    // dialog, the graph, the statistics) is still open.
    form1_->onMainWindowClosed = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{form2_.get(), form3_.get(), form4_.get(), form5_.get(),
                                                         form6_.get()})
            w->close();
        QCoreApplication::quit();
    };

    form1_->FormCreate();

    // The windows' language: the command line, else the user's choice in the
    // main window, else the system's. The choice is a box of its own in the
    // main window's bottom row; the tool's files do not change with it.
    languageBox = new QComboBox(form1_.get());
    languageBox->setObjectName(QStringLiteral("LanguageBox"));
    languageBox->addItem(QStringLiteral("日本語"), QStringLiteral("ja"));
    languageBox->addItem(QStringLiteral("English"), QStringLiteral("en"));
    languageBox->setGeometry(392, 432, 80, 24);
    languageBox->setToolTip(QStringLiteral("言語 / Language"));
    for (QWidget* w : std::initializer_list<QWidget*>{form1_.get(), form2_.get(), form3_.get(), form4_.get(),
                                                     form5_.get(), form6_.get()})
        watchCaptions(w);
    const Language language =
        chooseLanguage(options.arguments, platform.preferences->value(QString::fromLatin1(kLanguagePreference)),
                       options.locale);
    useLanguage(language);
    languageBox->setCurrentIndex(language == Language::English ? 1 : 0);
    QObject::connect(languageBox, &QComboBox::activated, languageBox, [this, prefs = platform.preferences](int index) {
        const Language chosen = index == 1 ? Language::English : Language::Japanese;
        useLanguage(chosen);
        prefs->setValue(QString::fromLatin1(kLanguagePreference), languageCode(chosen));
    });
    languageBox->show();

    // A port folder that is not the user's own is refused (a device another
    // user registered there is never talked to); the user is told once the
    // window is up.
    if (const std::string problem = portDirectoryProblem(); !problem.empty()) {
        const QString text = QStringLiteral("Simulated loggers are not looked for: %1").arg(QString::fromLocal8Bit(problem.c_str()));
        QTimer::singleShot(0, form1_.get(), [form = form1_.get(), text] { form->guard([&] { form->dialogs().message(text); }); });
    }
}

Application::~Application()
{
    // The features go first, newest first, while every window is whole. Each
    // is a child of a window and works on that window and others (the graph
    // feature clears the graph window's handlers as it goes; the firmware
    // and start-mode features watch the events of their windows' controls).
    // Left to their windows, they would be deleted after the window's own
    // members are gone (a window deletes its children last), and the other
    // windows they refer to might be gone already.
    for (auto it = owned_->features.rbegin(); it != owned_->features.rend(); ++it)
        delete it->data();
}

}  // namespace zelt
