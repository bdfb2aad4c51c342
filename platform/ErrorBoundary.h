#pragma once
// The boundary of every event handler: an error raised inside a handler is
// caught where the handler was entered, its text is shown in a message box,
// the rest of the handler is skipped and the application runs on. No
// exception ever reaches the toolkit's event loop.
#include "platform/Dialogs.h"

#include <QString>
#include <exception>
#include <utility>

namespace zelt {

QString errorText(const std::exception& e);

template <class Handler>
void guarded(Dialogs& dialogs, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& e) {
        try {
            dialogs.message(errorText(e));
        } catch (...) {
        }
    } catch (...) {
        try {
            dialogs.message(QStringLiteral("Unexpected error"));
        } catch (...) {
        }
    }
}

}  // namespace zelt
