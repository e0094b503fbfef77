// Received SMS and the answers around them come from the network and the modem unchecked:
// the same bytes as a PDU, as a modem answer and as a queue file name.
#include "fuzz_support.h"

#include "modem/incoming_calls.h"
#include "sms/pdu_codec.h"
#include "sms/sms_reception.h"
#include "sms/sms_sending.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> pdu(data, data + size);
    sm__deliver_t m;
    if (sm__decodedeliver(pdu.data(), pdu.size(), &m)) {
        // Texts are cut where room ends, not always at a character's end.
        fz::bounded([&](char* o, size_t n) { sm__formatmessage(m, nullptr, o, n); }, {1, 5, 20},
                    true);
        fz::bounded([&](char* o, size_t n) { sm__expand("x %0 %1 %2 %%", m.sender, m.text, o, n); },
                    {1, 5, 20}, true);
    }
    fz::ctext text(fz::text(data, size));
    char hex[800];
    uint8_t octets[400];
    if (sm__readpdu(text.c(), hex, sizeof hex))
        sm__decodedeliver(octets, sm__hextooctets(hex, octets, sizeof octets), &m);
    sm__listindex(text.c());
    bool rang;
    std::vector<char> number(20);
    cm__ringscan(fz::ctext(text.c()).m(), &rang, number.data(), number.size());
    char recipient[40], submit[400];
    bool international;
    int tpdu, chars;
    if (sm__queuerecipient(text.c(), recipient, sizeof recipient, &international))
        sm__buildsubmit("+491710760000", recipient, international, text.c(), submit, sizeof submit,
                        &tpdu, &chars);
    return 0;
}
