#include "paragraph_direction.h"

#include <algorithm>

namespace velmor {

void ParagraphDirection::Changed(qsizetype at) {
    if (at > known_) return;
    decided_.reset();
    // Before the place read up to, the isolates open there are not known any more.
    if (at < known_) {
        known_ = 0;
        isolates_ = 0;
    }
}

bool ParagraphDirection::RightToLeft(const QString& text) {
    if (decided_ && known_ < text.size()) return *decided_;
    for (qsizetype at = std::min(known_, text.size()), next = at; at < text.size(); at = next) {
        char32_t c = text.at(at).unicode();
        ++next;
        if (QChar::isHighSurrogate(c) && next < text.size() && text.at(next).isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text.at(next++).unicode());
        // A lone surrogate is read as the replacement character, which is neutral.
        const QChar::Direction direction =
            QChar::isSurrogate(c) ? QChar::DirON : QChar::direction(c);
        if (direction == QChar::DirRLI || direction == QChar::DirLRI ||
            direction == QChar::DirFSI) {
            ++isolates_;
        } else if (direction == QChar::DirPDI) {
            if (isolates_ > 0) --isolates_;
        } else if ((direction == QChar::DirL || direction == QChar::DirR ||
                    direction == QChar::DirAL) &&
                   isolates_ == 0) {
            known_ = at;
            decided_ = direction != QChar::DirL;
            return *decided_;
        }
    }
    known_ = text.size();
    return false;
}

}  // namespace velmor
