// The question for a print server's password, asked in the window rather than on a terminal.
#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace velmor {

// Asks on the application's thread, from any thread, in a modal dialog over the program's window:
// prompt as the print system words it, the user name preset to user, the password hidden.
// The user name and password given, or nothing when the user cancels (or there is no
// application).
std::optional<std::pair<QString, QString>> AskPrintPassword(const QString& prompt,
                                                            const QString& user);

}  // namespace velmor
