#pragma once

#include <QString>

// What was wrong with a reply the pedal sent, as the link met it. The operation that read
// the reply fails as well; the fault says why, for whoever shows it.
enum class ELinkFault {
    STATUS_LENGTH,  // a status reply that is not 8 bytes long
    DATA_LENGTH,    // a query reply of the wrong size or with a length field past its end
    COMMAND_TYPE,   // a query reply to another command
    READ_LENGTH,    // a flash read reply of the wrong size or with a length field past its end
    CHECKSUM,       // a reply whose checksum byte is not the one its payload gives
};

struct SLinkFault {
    ELinkFault kind;
    // STATUS_LENGTH and READ_LENGTH: the bytes due and the bytes received. CHECKSUM: the
    // checksum the payload gives and the one the packet carried.
    unsigned int needed = 0;
    unsigned int got = 0;
};

// The text the program has always shown for the fault, the status and checksum ones in
// Chinese.
[[nodiscard]] QString link_fault_text(const SLinkFault& fault);
