#include "errors.h"

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

ConversionError::ConversionError(const std::string& text)
    : VelmorError("'" + text + "' is not a valid floating point value") {}

ArithmeticError::ArithmeticError(ArithmeticFault fault) : VelmorError(MessageFor(fault)) {}

void RaiseFault(const FpFlags& flags) {
    if (flags.invalid) throw ArithmeticError(ArithmeticFault::Invalid);
    if (flags.divByZero) throw ArithmeticError(ArithmeticFault::DivisionByZero);
    throw ArithmeticError(ArithmeticFault::Overflow);
}

}  // namespace velmor
