#include "errors.h"

#include <utility>

namespace velmor {
namespace {

const char* MessageFor(ArithmeticFault fault) {
    switch (fault) {
        case ArithmeticFault::Invalid:
            return "Invalid floating point operation";
        case ArithmeticFault::DivisionByZero:
            return "Floating point division by zero";
        case ArithmeticFault::Overflow:
            return "Floating point overflow";
    }
    return "Invalid floating point operation";
}

}  // namespace

ConversionError::ConversionError(std::string text)
    : VelmorError(MessageFor(text)), text_(std::move(text)) {}

std::string ConversionError::MessageFor(std::string_view quoted) {
    std::string message;
    message.reserve(quoted.size() + 40);
    message.append("'").append(quoted).append("' is not a valid floating point value");
    return message;
}

ArithmeticError::ArithmeticError(ArithmeticFault fault) : VelmorError(MessageFor(fault)) {}

void RaiseFault(const FpFlags& flags) {
    if (flags.invalid) throw ArithmeticError(ArithmeticFault::Invalid);
    if (flags.divByZero) throw ArithmeticError(ArithmeticFault::DivisionByZero);
    throw ArithmeticError(ArithmeticFault::Overflow);
}

}  // namespace velmor
