// The one error display: every error that leaves an event handler is shown here.
#pragma once

#include <QString>

namespace velmor {

// The message as the box shows it: a full stop is added when the last character sorts above
// "." in code order (any non-ASCII character does); after ".", a space, a line break or one of
// ! " # $ % & ' ( ) * + , - nothing is added, and an empty message stays empty.
QString WithFullStop(const QString& message);

// Shows the message (with its full stop) in a modal critical message box: stop icon, one OK
// button, the application title as caption, the text shown as plain text. Releases a held
// mouse grab first. Returns when the user has closed the box; the windows are usable again.
void ShowError(const QString& message);

}  // namespace velmor
