// Received SMS and the answers around them come from the network and the modem unchecked:
// any bytes must be safe for the PDU decoder and the parsers of the reception.
#include "modem/incoming_calls.h"
#include "modem/ussd.h"
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
        char out[900];
        sm__formatmessage(m, nullptr, out, sizeof out);
        char line[600];
        sm__expand("x %0 %1 %2 %3 %%", m.sender, m.text, line, sizeof line);
    }

    // The same bytes as a modem answer text.
    std::vector<char> text(data, data + size);
    text.push_back(0);
    char hex[800];
    if (sm__readpdu(text.data(), hex, sizeof hex)) {
        uint8_t octets[400];
        size_t n = sm__hextooctets(hex, octets, sizeof octets);
        sm__decodedeliver(octets, n, &m);
    }
    sm__listindex(text.data());

    std::vector<char> answer = text;
    bool rang;
    char number[50];
    cm__ringscan(answer.data(), &rang, number, sizeof number);
    if (strlen(answer.data()) > size) __builtin_trap();

    char ussd[1000];
    bool found;
    if (cm__ussdanswer(text.data(), ussd, sizeof ussd, &found)) cm__ussddecode(ussd);
    char shown[800];
    cm__creditanswer(text.data(), shown, sizeof shown);

    char recipient[40], name[120], content[300], at[110];
    bool international;
    if (sm__queuerecipient(text.data(), recipient, sizeof recipient, &international)) {
        char submit[400];
        int tpdu, chars;
        sm__buildsubmit("+491710760000", recipient, international, text.data(), submit,
                        sizeof submit, &tpdu, &chars);
    }
    cm__operatorsms(text.data(), name, sizeof name, content, sizeof content);
    int wait, answertime;
    cm__devicecommand(text.data(), 150, &wait, &answertime, at, sizeof at);
    char topup[300];
    cm__topupcode(text.data(), "1234", topup, sizeof topup);
    return 0;
}
