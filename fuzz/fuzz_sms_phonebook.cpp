// The SMS page's parsers: phone-book text, message file names, list lines and the addressee
// field, with the round trip between a file name and its list line.
#include "fuzz_support.h"
#include "ui/sms_phonebook.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string all(reinterpret_cast<const char*>(data), size);
    cf__smsbook book = cf__smsbookparse(all);
    for (const cf__smsi_t& e : book.cf__smsnamei) {
        if (e.name.empty() || e.name[0] == '#' || !cf__smsnumberok(e.nummer.c_str())) abort();
        if (!cf__smsname(book, e.nummer)) abort();
        if (cf__smscomboitem(e).size() > 32 + 3 + 32) abort();
    }
    if (book.cf__smsnamei.size() != book.cf__smsnummeri.size()) abort();

    fz::ctext text(all);
    if (cf__sms_okliste(text.c())) {
        std::string line = cf__sms_zuliste(text.c(), false, book);
        std::string back = cf__sms_vonliste(line);
        // A name that is a message file comes back from its line, up to what follows the
        // digits of its number.
        if (back.empty() || !cf__sms_okliste(back.c_str())) abort();
        if (back.compare(0, 21, all, 0, 21) != 0) abort();
    }
    std::string name = cf__sms_vonliste(all);
    if (!name.empty() && !cf__sms_okliste(name.c_str())) abort();
    if (name.find('/') != std::string::npos) abort();

    std::string number, person;
    if (cf__smsaddressee(text.c(), &number, &person)) {
        if (!cf__smsnumberok(number.c_str())) abort();
        std::string q = cf__smsqueuename("20101011_123456", number);
        if (!cf__sms_okliste(q.c_str()) || q.find('/') != std::string::npos) abort();
    }
    return 0;
}
