// The one error display: every error that leaves an event handler is shown here.
#pragma once

#include <QString>

#include <string_view>

namespace velmor {

// The message as the box shows it: a full stop is added when the last character sorts above
// "." in code order (any non-ASCII character does); after ".", a space, a line break or one of
// ! " # $ % & ' ( ) * + , - nothing is added, and an empty message stays empty.
QString WithFullStop(const QString& message);

// A typed text as a message box quotes it (text is UTF-8):
// - up to kLongestQuoted characters, the whole text, NULs included;
// - a longer one as its first and last kQuotedEnd characters with "…" between, so that the box
//   stays readable and quick however much was typed;
// - when it holds right-to-left characters, Arabic digits, bidirectional controls or line or
//   paragraph breaks, wrapped in isolates (U+2068 ... U+2069, with as many as its own stray
//   closing isolates need), its breaks shown as "↵" (U+2029 as "¶") so that the quote stays in
//   one paragraph: it cannot reorder the rest of the message; any other text is unchanged.
inline constexpr qsizetype kLongestQuoted = 256;
inline constexpr qsizetype kQuotedEnd = 100;
QString QuotedForDisplay(std::string_view text);

// Shows the message (with its full stop) in a modal critical message box: stop icon, one OK
// button, the application title as caption, the text shown as plain text. A long path or quote
// wraps at the box's width, so all of it is seen (the box's text has zero-width spaces in it);
// one that would make the box larger than the screen is shown shortened in the middle, the box's
// text still whole.
// Releases a held mouse grab first. Returns when the user has closed the box; the windows are
// usable again.
void ShowError(const QString& message);

}  // namespace velmor
