#include "KeepAwake.h"

void KeepAwake::Hold() {
    if (!m_bHeld) m_bHeld = m_call(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void KeepAwake::Release() {
    if (!m_bHeld) return;
    m_call(ES_CONTINUOUS);
    m_bHeld = false;
}
