#pragma once
// The whole tool: the six windows created in order (main window, graph,
// ID dialog, statistics, reservation, wait dialog) and the features of every
// subsystem joined to the main window. The platform pieces may be supplied
// (tests pass doubles); missing ones are the system's own.
#include <QLocale>
#include <QSize>
#include <QStringList>
#include <memory>

class QComboBox;

namespace zelt {

class ComPort;
class Dialogs;
class RegistryReader;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class Dispatcher;
class Preferences;

struct ApplicationOptions {
    ComPort* port = nullptr;            // default: the real serial port
    RegistryReader* registry = nullptr; // default: the system's registry view
    Dialogs* dialogs = nullptr;         // default: the toolkit's dialogs
    Preferences* preferences = nullptr; // default: the user's settings file
    QSize screen;                       // default: the primary screen's size
    QStringList arguments;              // the command line ("--lang en|ja")
    QLocale locale = QLocale::system(); // the system's language
};

class Application {
public:
    using Options = ApplicationOptions;

    explicit Application(const Options& options = Options());
    ~Application();

    TForm1& form1() const { return *form1_; }
    TForm2& form2() const { return *form2_; }
    TForm3& form3() const { return *form3_; }
    TForm4& form4() const { return *form4_; }
    TForm5& form5() const { return *form5_; }
    TForm6& form6() const { return *form6_; }

    // The language of the windows, in the main window's bottom row.
    QComboBox* languageBox = nullptr;

private:
    struct Owned;
    std::unique_ptr<Owned> owned_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<TForm6> form6_;
};

}  // namespace zelt
