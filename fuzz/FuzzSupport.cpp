#include "fuzz/FuzzSupport.h"

#include <QApplication>
#include <QtGlobal>

namespace zelt::fuzz {

namespace {

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::abort();
    }
}

}  // namespace

void startToolkit(int* argc, char*** argv)
{
    if (QApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("ZELT_FUZZ_VERBOSE"))
        qInstallMessageHandler(quietMessages);
    // The application keeps argc and argv; the fuzzer's own outlive it.
    static int fallbackArgc = 1;
    static char name[] = "zelt-fuzz";
    static char* fallbackArgv[] = {name, nullptr};
    static char** fallbackArgvPtr = fallbackArgv;
    if (!argc || !argv || *argc < 1) {
        argc = &fallbackArgc;
        argv = &fallbackArgvPtr;
    }
    new QApplication(*argc, *argv);  // lives as long as the process
}

}  // namespace zelt::fuzz
