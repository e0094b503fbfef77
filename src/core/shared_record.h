// Layout of the shared status record mvlio_t: an external binary interface that other programs
// read at these offsets, so every offset is checked here. How the record is created, attached
// and written is the instance interface's business (control/instance_interface.h).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "foundation/utilities.h"

static_assert(std::endian::native == std::endian::little, "mvlio_t is little-endian");

// The shared record: an external binary interface read by other programs at these offsets.
#pragma pack(push, 1)
struct mvlio_t {
    uint32_t len;
    uint16_t structure_version;
    uint16_t program_version;
    uint32_t res1[3];
    char command[100];
    uint32_t process_counter;
    uint32_t volume;
    uint32_t time;
    uint32_t online_time;
    uint32_t offline_time;
    uint32_t upspeed;
    uint32_t downspeed;
    uint8_t opmode;
    uint8_t signal_raw;
    uint8_t signal_percent;
    uint8_t res2;
    int16_t signal_dbm;
    char network_name[32];
    char plmn[7];
    char lac[5];
    char cid[5];
    char message[65];
    char mini_message[49];
    char error_message[33];
    uint8_t battery;
    char rnc[5];
    union {
        uint8_t internal1[4];
        struct {
            uint8_t vicon_status;
            uint8_t ticon_status;
            uint8_t hicon_status;
            uint8_t res3;
        };
    };
    union {
        uint32_t internal2[6];
        uint32_t ticon_value;
    };
    char answer[600];
};
#pragma pack(pop)

static_assert(sizeof(mvlio_t) == 984);
static_assert(offsetof(mvlio_t, len) == 0);
static_assert(offsetof(mvlio_t, structure_version) == 4);
static_assert(offsetof(mvlio_t, program_version) == 6);
static_assert(offsetof(mvlio_t, res1) == 8);
static_assert(offsetof(mvlio_t, command) == 20);
static_assert(offsetof(mvlio_t, process_counter) == 120);
static_assert(offsetof(mvlio_t, volume) == 124);
static_assert(offsetof(mvlio_t, time) == 128);
static_assert(offsetof(mvlio_t, online_time) == 132);
static_assert(offsetof(mvlio_t, offline_time) == 136);
static_assert(offsetof(mvlio_t, upspeed) == 140);
static_assert(offsetof(mvlio_t, downspeed) == 144);
static_assert(offsetof(mvlio_t, opmode) == 148);
static_assert(offsetof(mvlio_t, signal_raw) == 149);
static_assert(offsetof(mvlio_t, signal_percent) == 150);
static_assert(offsetof(mvlio_t, res2) == 151);
static_assert(offsetof(mvlio_t, signal_dbm) == 152);
static_assert(offsetof(mvlio_t, network_name) == 154);
static_assert(offsetof(mvlio_t, plmn) == 186);
static_assert(offsetof(mvlio_t, lac) == 193);
static_assert(offsetof(mvlio_t, cid) == 198);
static_assert(offsetof(mvlio_t, message) == 203);
static_assert(offsetof(mvlio_t, mini_message) == 268);
static_assert(offsetof(mvlio_t, error_message) == 317);
static_assert(offsetof(mvlio_t, battery) == 350);
static_assert(offsetof(mvlio_t, rnc) == 351);
static_assert(offsetof(mvlio_t, internal1) == 356);
static_assert(offsetof(mvlio_t, vicon_status) == 356);
static_assert(offsetof(mvlio_t, ticon_status) == 357);
static_assert(offsetof(mvlio_t, hicon_status) == 358);
static_assert(offsetof(mvlio_t, res3) == 359);
static_assert(offsetof(mvlio_t, internal2) == 360);
static_assert(offsetof(mvlio_t, ticon_value) == 360);
static_assert(offsetof(mvlio_t, answer) == 384);

#define ii__SHMSIZE 1024
#define ii__STRUCTUREVERSION 3
#define ii__VERSION "0.4"

// The main instance's pointer for its status fields; null in every other instance.
extern mvlio_t* mvliow;
extern const mvlio_t* mvlior;

// Writers of the record; both do nothing unless it is attached for writing.
#define MVLIOs(field, text)                                                                        \
    do {                                                                                           \
        if (mvliow) strmcpy(mvliow->field, (text), sizeof mvliow->field);                          \
    } while (0)
#define MVLIOw(field, value)                                                                       \
    do {                                                                                           \
        if (mvliow) mvliow->field = (value);                                                       \
    } while (0)
