// THexUploader: what the boot-loader and PSD bank engines share, an Intel HEX
// file sent to the card line by line. Each line waits for its acknowledgement;
// a damaged line ("R") is sent again, within one budget of retransmissions for
// the whole operation, checksum record included.
#pragma once

#include "gestionnaire.h"

#include <cstdint>
#include <string>
#include <vector>

class THexUploader : public TGestionnaire {
protected:
    enum class Answer { Waiting, Accepted, SendAgain };

    // The character at the front of the received text after a poll; 0 when nothing has arrived.
    char PollReply();
    void ConsumeReply();
    // Counts one retransmission; false, after reporting it, once there were too many.
    bool RetryAllowed();
    void SendLine(std::int32_t index);
    // The card's answer to the line sent last: on "." the next line goes out
    // (line 0 twice, as the card expects); true once the last line is acknowledged.
    bool LineAcknowledged();
    // The card's answer to the checksum record. A failure or one retransmission
    // too many ends the operation and leaves the answer Waiting.
    Answer ChecksumAnswer();

    std::vector<std::string> Lines;
    std::int32_t LineIndex = 0;
};
