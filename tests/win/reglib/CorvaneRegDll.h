// Loads CorvaneReg.dll the way the installers do: by file name from the program's folder, each
// function looked up by its plain exported name.
#pragma once

#include "CorvaneReg.h"
#include "Win32.h"

class CorvaneRegDll {
  public:
    CorvaneRegDll() : m_module(LoadLibraryA("CorvaneReg.dll")) {}
    CorvaneRegDll(const CorvaneRegDll&) = delete;
    CorvaneRegDll& operator=(const CorvaneRegDll&) = delete;
    ~CorvaneRegDll() {
        if (m_module != nullptr) FreeLibrary(m_module);
    }

    bool Loaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; }

    template <typename Function>
    Function* Find(const char* name) const {
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

  private:
    HMODULE m_module;
};

// The one copy the tests share, loaded on first use and kept for the whole run.
inline const CorvaneRegDll& LoadedCorvaneReg() {
    static const CorvaneRegDll dll;
    return dll;
}

// The export's own declaration gives the type to call it with.
#define CORVANE(name) LoadedCorvaneReg().Find<decltype(name)>(#name)
