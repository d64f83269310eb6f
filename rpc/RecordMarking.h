#pragma once

#include <cstdint>

// Call-side TCP record marking (RFC 5531 section 11). A TCP receive may end inside a record or
// carry several, and a record may come in several fragments. JoinCompleteRecords gathers the
// complete records at the front of a receive buffer, each rewritten in place as a single last
// fragment, so that the message layer sees whole calls only.
struct RecordScan {
    uint32_t joinedLength = 0;  // bytes at the front of the buffer now holding complete records
    uint32_t consumed = 0;      // bytes of the original buffer those records took up
    bool tooLong = false;       // a record can never fit the buffer: the connection must end
};

RecordScan JoinCompleteRecords(uint8_t* buffer, uint32_t length, uint32_t capacity);
