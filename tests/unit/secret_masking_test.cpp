#include "core/config_record.h"
#include "core/session_state.h"
#include "foundation/logging.h"
#include "foundation/secret_masking.h"
#include "foundation/utilities.h"
#include "test_support.h"

#include <sys/stat.h>

TEST(SecretMasking, LinesOfModemTrafficAndConfiguration) {
    struct {
        const char* line;
        const char* logged;
    } table[] = {
        // Configuration, as the file is read and logged, and as program parameters.
        {"--- PASS=webuser;s3cret\n", "--- PASS=xxxx\n"},
        {"--- 11 PIN=CRYPT1HX7C\n", "--- 11 PIN=xxxx\n"},
        {"--- pin = 4321\r\n", "--- pin = xxxx\r\n"},
        {"* Program parameter: PIN=12345678,1234\n", "* Program parameter: PIN=xxxx\n"},
        {"password=hunter2", "password=xxxx"},
        {"* Program parameter: COM=LINKSYS 192.168.1.1 admin geheim;x",
         "* Program parameter: COM=LINKSYS 192.168.1.1 admin xxxx;x"},
        {"--- PIN=?\n", "--- PIN=?\n"}, // a placeholder
        {"--- PIN=\n", "--- PIN=\n"},
        {"Enter PIN in line PIN (see below)!", "Enter PIN in line PIN (see below)!"},
        {"--- PIN2=1 PINS=2", "--- PIN2=1 PINS=2"},
        // Commands that carry a PIN, PUK or password, also typed by the user, and their echo.
        {"s:  AT+CPIN=\"4711\"\r\n", "s:  AT+CPIN=xxxx\r\n"},
        {"External device command: :::AT+CPIN=4711\n",
         "External device command: :::AT+CPIN=xxxx\n"},
        {"x Manual device command: :0:3000:at^cpin=\"12345678\",\"1234\"\n",
         "x Manual device command: :0:3000:at^cpin=xxxx\n"},
        {"s:  AT+CPIN2=\"8888\"\r\n", "s:  AT+CPIN2=xxxx\r\n"},
        {"s:  AT+CLCK=\"SC\",1,\"1234\"\r\n", "s:  AT+CLCK=\"SC\",1,xxxx\r\n"},
        {"s:  AT+CLCK=\"SC\",2\r\n", "s:  AT+CLCK=\"SC\",2\r\n"}, // a query: no password
        {"s:  AT+CPWD=\"SC\",\"1234\",\"4321\"\r\n", "s:  AT+CPWD=\"SC\",xxxx\r\n"},
        {"r:  AT+CPIN=\"4711\"\r\r\nOK\r\n+CSQ: 20,99", "r:  AT+CPIN=xxxx\r\r\nOK\r\n+CSQ: 20,99"},
        {"r:  \r\n+CPIN: READY\r\n", "r:  \r\n+CPIN: READY\r\n"},
        // IMEI and IMSI, with or without a word that says so.
        {"r:  \r\nIMEI: 351234567890123\r\nOK", "r:  \r\nIMEI: xxxxxxxxxxxxxxx\r\nOK"},
        {"r:  AT+CGSN\r\r\n351234567890123\r\n\r\nOK\r\n",
         "r:  AT+CGSN\r\r\nxxxxxxxxxxxxxxx\r\n\r\nOK\r\n"},
        {"r:  \r\n+CGSN: 35123456789012\r\n", "r:  \r\n+CGSN: xxxxxxxxxxxxxx\r\n"},
        {"x Answer from device: \r\n262011234567890\r\n",
         "x Answer from device: \r\nxxxxxxxxxxxxxxx\r\n"},
        {"+CIMI: 26201123", "+CIMI: xxxxxxxx"},
        {"x Account command: *103*1234567890123456#", "x Account command: *103*xxxxxxxxxxxxxxxx#"},
        // What must stay readable.
        {"+CMGL: 1,0,,24\r\n0791947101670000040C919471",
         "+CMGL: 1,0,,24\r\n0791947101670000040C919471"},
        {"+4917012345678901 SMS: hello", "+4917012345678901 SMS: hello"},
        {"01 9AA000000000-0000000000000-0000000", "01 9AA000000000-0000000000000-0000000"},
        {"2010-10-11 09:05:07 Data volume: 1234567 kB",
         "2010-10-11 09:05:07 Data volume: 1234567 kB"},
        {"", ""},
    };
    for (auto& row : table) EXPECT_EQ(lo_masksecrets(row.line), row.logged) << row.line;
    EXPECT_EQ(lo_masksecrets(nullptr), "");
}

// The writers mask whatever reaches them, and their files are the user's alone.
TEST(SecretMasking, EveryLogWriterMasksAndCreatesPrivateFiles) {
    InTempDir tmp;
    fresh_record("PM");
    inidat.round = 1;
    char stamp[sizeof lo__vlogtimestamp];
    strMcpy(stamp, lo__vlogtimestamp);
    const mode_t umask_before = umask(022);
    lo_slog("External device command: %s\n", ":::AT+CPIN=4711", -1);
    lo_vlog("%s Manual device command: %s\n", "DEVICE:::AT+CLCK=\"SC\",0,\"4711\"", -1);
    lo_dlog("Connect answer: %s", "IMEI 351234567890123\n", -1);
    lo_mlog("%s Command: %s\n\n", "run PIN=4711", -1, false);
    umask(umask_before);
    strMcpy(lo__vlogtimestamp, stamp);
    for (const char* f : {"servilog.txt", "connlog.txt", "debuglog.txt", "sms.txt"}) {
        std::string text = read_file(f);
        EXPECT_EQ(text.find("4711"), std::string::npos) << f << ": " << text;
        EXPECT_EQ(text.find("351234567890123"), std::string::npos) << f << ": " << text;
        EXPECT_NE(text.find("xxxx"), std::string::npos) << f << ": " << text;
        struct stat st;
        ASSERT_EQ(stat(f, &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
    }
}
