// The guard around every event handler: no exception ever unwinds through Qt.
#pragma once

#include <exception>
#include <utility>

#include <QString>

#include "error_display.h"
#include "errors.h"

namespace velmor {

// Runs the handler; an error leaving it is handed to ShowError (its what() is the UTF-8
// message; a conversion error quotes its text as QuotedForDisplay gives it; anything that is
// not a std::exception shows an empty message), and control goes back to the event loop with
// whatever state the handler left.
template <typename Handler>
void RunHandler(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const ConversionError& error) {
        const QString quoted = QuotedForDisplay(error.Text());
        ShowError(QString::fromStdString(ConversionError::MessageFor(quoted.toStdString())));
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowError(QString());
    }
}

}  // namespace velmor
