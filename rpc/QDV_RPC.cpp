#include "QDV_RPC.h"

#include <atomic>
#include <cstdarg>

namespace {
std::atomic<std::FILE*> g_traceOutput{nullptr};
}

CQDV_RPC::~CQDV_RPC() = default;

int CQDV_RPC::Trace(const char* format, ...) {
    std::FILE* output = g_traceOutput.load(std::memory_order_relaxed);
    if (output == nullptr) return 0;
    va_list args;
    va_start(args, format);
    std::vfprintf(output, format, args);
    va_end(args);
    return 0;
}

void SetTraceOutput(std::FILE* output) {
    g_traceOutput.store(output);
}
