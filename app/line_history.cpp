#include "line_history.h"

namespace velmor {

bool LineHistory::Continues(const LineChange& change, Kind kind) const {
    if (!open_ || kind != lastKind_ || kind == Kind::Other || done_ == 0) return false;
    const LineChange& last = steps_[done_ - 1];
    switch (kind) {
        case Kind::Typed:
            return change.removed.isEmpty() && change.at == last.at + last.inserted.size();
        case Kind::ErasedBackward:
            return change.inserted.isEmpty() && change.at + change.removed.size() == last.at;
        case Kind::ErasedForward:
            return change.inserted.isEmpty() && change.at == last.at;
        case Kind::Other:
            break;
    }
    return false;
}

void LineHistory::Record(const LineChange& change, Kind kind) {
    if (Continues(change, kind)) {
        LineChange& last = steps_[done_ - 1];
        if (kind == Kind::Typed) {
            last.inserted += change.inserted;
        } else if (kind == Kind::ErasedBackward) {
            last.removed.prepend(change.removed);
            last.at = change.at;
        } else {
            last.removed += change.removed;
        }
        last.cursorAfter = change.cursorAfter;
        last.anchorAfter = change.anchorAfter;
        return;
    }
    steps_.resize(done_);
    steps_.push_back(change);
    done_ = steps_.size();
    lastKind_ = kind;
    open_ = true;
}

void LineHistory::Clear() {
    steps_.clear();
    done_ = 0;
    open_ = false;
}

const LineChange* LineHistory::Undo() {
    open_ = false;
    return CanUndo() ? &steps_[--done_] : nullptr;
}

const LineChange* LineHistory::Redo() {
    open_ = false;
    return CanRedo() ? &steps_[done_++] : nullptr;
}

}  // namespace velmor
