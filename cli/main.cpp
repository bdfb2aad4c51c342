// zelt: the logger from the command line (see cli/Commands.h).
#include "cli/Commands.h"
#include "cli/Session.h"
#include "ZeltVersion.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

namespace {

void onInterrupt(int)
{
    zelt::cli::interruptRequested() = true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.size() == 1 && args.first() == QLatin1String("--version")) {
        std::printf("zelt %s\n", ZELT_VERSION);
        return 0;
    }
    // "zelt simulate" handles its own signals.
    if (args.value(0) != QLatin1String("simulate")) {
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
    }
    return zelt::cli::runZelt(args);
}
