// Which way a line is written, as Qt decides it for a paragraph: by its first strong character
// outside isolates, as QString::isRightToLeft() finds it. After a change only the text from where
// the change could matter is read again, so typing at the end of a long line of digits (which
// has no strong character at all) costs nothing.
#pragma once

#include <QString>

#include <optional>

namespace velmor {

class ParagraphDirection {
  public:
    // The text changed from `at` on.
    void Changed(qsizetype at);
    bool RightToLeft(const QString& text);

  private:
    qsizetype known_ = 0;          // text[0, known_) has no strong character outside isolates
    int isolates_ = 0;             // how many isolates are open at known_
    std::optional<bool> decided_;  // set when the character at known_ is strong
};

}  // namespace velmor
