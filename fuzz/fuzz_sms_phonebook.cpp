// The SMS page's parsers: phone-book text, message file names, list lines and the addressee
// field, with the round trip between a file name and its list line.
#include "fuzz_support.h"

#include "ui/sms_phonebook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string all(reinterpret_cast<const char*>(data), size);
    cf__smsbook book = cf__smsbookparse(all);
    for (const cf__smsi_t& e : book.cf__smsnamei) cf__smscomboitem(e), cf__smsname(book, e.nummer);
    fz::ctext text(all);
    // A message file comes back from its list line, and no name leads out of its folder.
    if (cf__sms_okliste(text.c()) &&
        !cf__sms_okliste(cf__sms_vonliste(cf__sms_zuliste(text.c(), false, book)).c_str()))
        __builtin_trap();
    if (cf__sms_vonliste(all).find('/') != std::string::npos) __builtin_trap();
    std::string number, person;
    if (cf__smsaddressee(text.c(), &number, &person) &&
        cf__smsqueuename("20101011_123456", number).find('/') != std::string::npos)
        __builtin_trap();
    return 0;
}
