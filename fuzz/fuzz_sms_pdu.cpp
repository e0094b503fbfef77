// Received SMS and the answers around them come from the network and the modem unchecked:
// any bytes must be safe for the PDU decoder and the parsers of reception and sending.
#include "modem/incoming_calls.h"
#include "sms/pdu_codec.h"
#include "sms/sms_reception.h"
#include "sms/sms_sending.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The octets as a PDU, exactly as long as they are.
    std::vector<uint8_t> pdu(data, data + size);
    sm__deliver_t m;
    if (sm__decodedeliver(pdu.data(), pdu.size(), &m)) {
        if (strlen(m.sender) >= sizeof m.sender || strlen(m.text) >= sizeof m.text)
            __builtin_trap();
        char out[900], line[600];
        sm__formatmessage(m, nullptr, out, sizeof out);
        sm__expand("x %0 %1 %2 %3 %%", m.sender, m.text, line, sizeof line);
    }

    // The same bytes as a modem answer text and as a queue file name.
    std::vector<char> text(data, data + size);
    text.push_back(0);
    char hex[800];
    if (sm__readpdu(text.data(), hex, sizeof hex)) {
        uint8_t octets[400];
        sm__decodedeliver(octets, sm__hextooctets(hex, octets, sizeof octets), &m);
    }
    sm__listindex(text.data());
    std::vector<char> answer = text;
    bool rang;
    char number[50];
    cm__ringscan(answer.data(), &rang, number, sizeof number);
    if (strlen(answer.data()) > size) __builtin_trap();

    char recipient[40], submit[400];
    bool international;
    int tpdu, chars;
    if (sm__queuerecipient(text.data(), recipient, sizeof recipient, &international))
        sm__buildsubmit("+491710760000", recipient, international, text.data(), submit,
                        sizeof submit, &tpdu, &chars);
    return 0;
}
