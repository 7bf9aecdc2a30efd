// The undo and redo steps of one line of text.
//
// A step replaces a run of the text with another (either may be empty) and remembers the cursor
// and the selection before and after, so that undoing or redoing it puts both back. Characters
// typed one after another make one step, and so do characters erased one after another with the
// same key, as in Qt's own line edit; anything else, or a cursor moved in between, starts a new
// step. A step holds just the two texts: a long paste costs its own length once, never a record
// per character.
#pragma once

#include <QString>

#include <vector>

namespace velmor {

struct LineChange {
    qsizetype at = 0;
    QString removed;
    QString inserted;
    // Where the cursor and the selection's other end were before the change and after it.
    qsizetype cursorBefore = 0, anchorBefore = 0;
    qsizetype cursorAfter = 0, anchorAfter = 0;
};

class LineHistory {
  public:
    enum class Kind { Typed, ErasedBackward, ErasedForward, Other };

    // Records a change just made; steps undone before it can no longer be redone.
    void Record(const LineChange& change, Kind kind);
    // The next change starts a step of its own.
    void Close() { open_ = false; }
    void Clear();

    bool CanUndo() const { return done_ > 0; }
    bool CanRedo() const { return done_ < steps_.size(); }
    // The step to take back (replace inserted by removed) or to make again; null when none.
    const LineChange* Undo();
    const LineChange* Redo();

  private:
    bool Continues(const LineChange& change, Kind kind) const;

    std::vector<LineChange> steps_;
    size_t done_ = 0;  // the steps now applied: steps_[0, done_)
    Kind lastKind_ = Kind::Other;
    bool open_ = false;
};

}  // namespace velmor
