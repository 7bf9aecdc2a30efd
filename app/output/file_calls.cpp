#include "file_calls.h"

#include "file_call_seam.h"

namespace velmor {

FileCallSeam& TheFileCallSeam() {
    static FileCallSeam seam;
    return seam;
}

void SetFileCallFailure(std::function<int(const char* call)> failure,
                        std::function<void(const char* call)> made) {
    TheFileCallSeam() = {std::move(failure), std::move(made)};
}

}  // namespace velmor
