#include "Nfs2Types.h"

const char* Nfs2StatusName(uint32_t status) {
    switch (status) {
#define NFS2_STATUS_NAME(name, value, text) \
    case value:                             \
        return text;
        NFS2_STATUS_LIST(NFS2_STATUS_NAME)
#undef NFS2_STATUS_NAME
        default:
            return nullptr;
    }
}
