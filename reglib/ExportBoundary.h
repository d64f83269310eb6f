// Installers call our exports from code that knows nothing of C++ exceptions: one that left an
// export would end the installer's process. Whatever throws inside (an allocation, in practice)
// becomes the export's own failure answer instead.
#pragma once

namespace reglib {

template <typename Result, typename Work>
Result AnswerOr(Result failure, Work work) noexcept {
    try {
        return work();
    } catch (...) {
        return failure;
    }
}

}  // namespace reglib
