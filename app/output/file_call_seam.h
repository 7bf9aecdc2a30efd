// A seam for the tests of the report file writer; not part of its interface, and never set by the
// program itself.
#pragma once

#include <functional>

namespace velmor {

// Asked before each system call the writer makes, with the call's name ("open", "write",
// "fsync", ...): a positive answer fails that call with that errno instead of making it; a
// negative one makes the call, tells made, and then fails it with minus that errno (a call that
// failed part of the way). Empty (the default): every call is made.
void SetFileCallFailure(std::function<int(const char* call)> failure,
                        std::function<void(const char* call)> made = {});

}  // namespace velmor
