// The errors that the calculation raises. Each carries the message a user sees (UTF-8), and
// nothing else: the error display decides how to show it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "extended.h"

namespace velmor {

// The root of every error the program raises, the calculation's and the output's alike.
class VelmorError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A typed text that is not a number: "'<text>' is not a valid floating point value".
class ConversionError : public VelmorError {
  public:
    explicit ConversionError(std::string text);
    // The text as typed (UTF-8), NULs included.
    const std::string& Text() const { return text_; }
    // The message with quoted between its quotes (what() is MessageFor(Text())); a caller that
    // shows the text otherwise passes it as shown.
    static std::string MessageFor(std::string_view quoted);

  private:
    std::string text_;
};

enum class ArithmeticFault { Invalid, DivisionByZero, Overflow };

// An arithmetic fault at one step of the calculation.
class ArithmeticError : public VelmorError {
  public:
    explicit ArithmeticError(ArithmeticFault fault);
};

// Raises the error for the first fault recorded in flags, in the order the processor reports
// them: invalid, then division by zero, then overflow. flags must hold at least one.
[[noreturn]] void RaiseFault(const FpFlags& flags);

// Raises as RaiseFault does when flags hold a fault; returns when they hold none. Inline, as it
// runs after every step of a formula and almost always finds none.
inline void RaiseOnFault(const FpFlags& flags) {
    if (flags.Any()) RaiseFault(flags);
}

}  // namespace velmor
