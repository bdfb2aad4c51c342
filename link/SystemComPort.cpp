#include "link/SystemComPort.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "link/WinComPort.h"
#else
#include "link/QtComPort.h"
#endif

namespace zelt {

std::unique_ptr<ComPort> makeSystemComPort(PortChooser choosePort)
{
#ifdef Q_OS_WIN
    return std::make_unique<WinComPort>(std::move(choosePort));
#else
    return std::make_unique<QtComPort>(std::move(choosePort));
#endif
}

}  // namespace zelt
