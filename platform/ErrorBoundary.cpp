#include "platform/ErrorBoundary.h"

namespace zelt {

QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

}  // namespace zelt
