// Enter and Space on the window's push buttons: one click per press of the key.
#pragma once

#include <QObject>

namespace velmor {

// Installed on push buttons. Enter presses a focused push button once per press, on the press;
// Space, as Qt has it, on the release. Never again for a key held down, or left down because its
// release went to a window that is gone: auto-repeated presses are dropped, and so is a press at
// the time stamp of the last release (how X repeats a key when Qt does not flag it). Enter never
// acts on the release, and Enter in any other widget passes untouched.
class OncePerPressFilter final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // When Enter or Space was last released on a button (the platform's time stamp).
    quint64 keyReleased_ = 0;
};

}  // namespace velmor
