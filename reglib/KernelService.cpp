// Recreates the kernel service of the Tavrin capture driver on Windows NT. The progress lines
// go to standard output for the console installer that runs this step; windowed callers never
// see them.
#include <cstdio>
#include <memory>
#include <new>

#include "CorvaneReg.h"
#include "ExportBoundary.h"
#include "RegHandle.h"

namespace {

const char kServices[] = "System\\CurrentControlSet\\Services";
const char kService[] = "TovaKrnl";
const char kServiceTag[] = "TOVA";
const char* const kOldServices[] = {"Saa7146", kService};

// The driver's own uninstaller never created more than this many subkeys on one level, and we
// delete the way it did: what lies beyond stays, and so does its parent.
constexpr uint32_t kMaxSubkeysPerLevel = 8;

struct DwordValue {
    const char* name;
    uint32_t value;
};

constexpr DwordValue kServiceValues[] = {{"ErrorControl", 1}, {"Start", 2}, {"Type", 1}};
constexpr DwordValue kParameterValues[] = {
    {"TraceBreakLevel", 5}, {"TraceDevice", 3}, {"TraceOutputLevel", 0}};

template <size_t N>
void SetValues(const CRegHandle& key, const char* textName, const char* text,
               const DwordValue (&numbers)[N]) {
    key.SetString(textName, text);
    for (const DwordValue& number : numbers) key.SetDword(number.name, number.value);
}

void RemoveOldServices(CRegHandle& services) {
    if (!services.Open(HKEY_LOCAL_MACHINE, kServices)) {
        std::printf("Can't find Service key\n");
        return;
    }
    for (const char* name : kOldServices) {
        DeleteKeyTree(services.Get(), name, kMaxSubkeysPerLevel);
        std::printf("Successfully Removed %s Service Key\n", name);
    }
}

uint32_t CreateService(CRegHandle& services) {
    if (!services.Open(HKEY_LOCAL_MACHINE, kServices)) {
        std::printf("Can't find Service key\n");
        return 0;
    }
    CRegHandle service;
    if (!service.Create(services.Get(), kService)) {
        std::printf("Can't Create %s Service Key\n", kService);
        return 0;
    }
    SetValues(service, "Group", "Extended Base", kServiceValues);
    CRegHandle parameters;
    if (!parameters.Create(service.Get(), "Parameters")) {
        std::printf("Can't Create %sParameters Key\n", kServiceTag);
        service.Close();
        services.DeleteSubkey(kService);
        return 0;
    }
    SetValues(parameters, "Description", "Tavrin, WDM Video Capture", kParameterValues);
    std::printf("Successfully created %s Service Key\n", kServiceTag);
    return 1;
}

}  // namespace

// 1 when the service is in place (or there is no NT service database to put it in), else 0.
extern "C" uint32_t __stdcall AddNtKernelServiceKey() {
    const std::unique_ptr<CRegHandle> services(new (std::nothrow) CRegHandle);
    if (!services) {
        std::printf("Can't Create Registry class\n");
        return 0;
    }
    const DWORD version = GetVersion();
    std::printf("Current System Version = 0x%08lX\n", version);
    if (version & 0x80000000u) {
        std::printf("This is not Windows NT\n");
        return 1;
    }
    std::printf("Windows NT Detected\n");
    return reglib::AnswerOr(0u, [&services] {
        RemoveOldServices(*services);
        return CreateService(*services);
    });
}
