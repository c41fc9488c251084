/* A program of another maker, written in C against the vendor's Btrieve call alone and linked
   to libquorvath-btrieve.so: it creates a file under a Cyrillic UTF-8 name, fills it, reads it
   back in key order and by key, asks for its statistics and the engine's version, and closes
   it. Usage: engine_drop_in FOLDER. Prints each failed check; exit status 0 when all passed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

/* The call as the vendor's client library exports it on Linux: operation (16 bits), position
   block, data buffer, data length by address (32 bits), key buffer, key length (8 bits), key
   number (signed 8 bits); answers a signed 16-bit status. */
extern short BTRCALL(unsigned short operation, void* positionBlock, void* dataBuffer,
                     unsigned int* dataLength, void* keyBuffer, unsigned char keyLength,
                     signed char keyNumber);

enum { kRecordLength = 24, kRecords = 5 };

static int failures = 0;

static void Check(int ok, const char* what, long got, long expected) {
    if (!ok) {
        printf("FAILED %s: got %ld, expected %ld\n", what, got, expected);
        ++failures;
    }
}
static void CheckEq(const char* what, long got, long expected) {
    Check(got == expected, what, got, expected);
}

static void PutU16(unsigned char* p, unsigned v) {
    p[0] = (unsigned char)(v & 0xFF);
    p[1] = (unsigned char)(v >> 8);
}

/* A record: a 4-byte integer id, then a 20-byte name padded with blanks. */
static void MakeRecord(unsigned char* r, int id, const char* name) {
    memset(r, ' ', kRecordLength);
    memcpy(r, &id, 4);
    memcpy(r + 4, name, strlen(name));
}

int main(int argc, char** argv) {
    static const int ids[kRecords] = {5, 3, 1, 4, 2};
    static const char* names[kRecords] = {"Five", "Three", "One", "Four", "Two"};
    static const char* byId[kRecords + 1] = {"", "One", "Two", "Three", "Four", "Five"};
    unsigned char spec[16 + 2 * 16], record[64], key[255], pos[128], stats[512], version[15];
    unsigned int length;
    char path[512];
    struct stat info;
    short status;
    int i;

    if (argc != 2) {
        fprintf(stderr, "usage: engine_drop_in FOLDER\n");
        return 2;
    }
    /* "клиенты.btr" in UTF-8, as Linux spells the name. */
    snprintf(path, sizeof path, "%s/\xD0\xBA\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B.btr",
             argv[1]);
    remove(path);

    /* File spec: record length, page size, 2 keys; key 0 a unique integer, key 1 a string
       with duplicates. Segments: 1-based position, length, flags, extended type. */
    memset(spec, 0, sizeof spec);
    PutU16(spec, kRecordLength);
    PutU16(spec + 2, 1024);
    PutU16(spec + 4, 2);
    PutU16(spec + 16, 1);
    PutU16(spec + 18, 4);
    PutU16(spec + 20, 0x0100);
    spec[26] = 1;
    PutU16(spec + 32, 5);
    PutU16(spec + 34, 20);
    PutU16(spec + 36, 0x0100 | 0x0001 | 0x0002);
    spec[42] = 0;

    length = sizeof spec;
    status = BTRCALL(14, pos, spec, &length, path, (unsigned char)(strlen(path) + 1), 0);
    CheckEq("Create", status, 0);
    length = sizeof spec;
    status = BTRCALL(14, pos, spec, &length, path, (unsigned char)(strlen(path) + 1), -1);
    CheckEq("Create of an existing file with mode -1", status, 59);
    CheckEq("the file under its UTF-8 name", stat(path, &info), 0);

    length = 0;
    status = BTRCALL(0, pos, "", &length, path, (unsigned char)(strlen(path) + 1), 0);
    CheckEq("Open", status, 0);

    for (i = 0; i < kRecords; ++i) {
        MakeRecord(record, ids[i], names[i]);
        length = kRecordLength;
        status = BTRCALL(2, pos, record, &length, key, sizeof key, 0);
        CheckEq("Insert", status, 0);
    }
    MakeRecord(record, 3, "Again");
    length = kRecordLength;
    CheckEq("Insert of a duplicate id", BTRCALL(2, pos, record, &length, key, sizeof key, 0), 5);

    /* Key 0 in order: ids 1 to 5, each record as inserted and its key in the key buffer. */
    for (i = 1; i <= kRecords + 1; ++i) {
        unsigned char expected[kRecordLength];
        int keyValue = 0;
        memset(record, 0, sizeof record);
        length = sizeof record;
        status = BTRCALL(i == 1 ? 12 : 6, pos, record, &length, key, sizeof key, 0);
        if (i > kRecords) {
            CheckEq("Get Next after the last record", status, 9);
            break;
        }
        CheckEq("Get First / Get Next", status, 0);
        CheckEq("record length returned", length, kRecordLength);
        MakeRecord(expected, i, byId[i]);
        Check(memcmp(record, expected, kRecordLength) == 0, "record bytes in key order", i, i);
        memcpy(&keyValue, key, 4);
        CheckEq("key value returned", keyValue, i);
    }

    /* Key 1, the names, in byte order: Five Four One Three Two. */
    length = sizeof record;
    status = BTRCALL(12, pos, record, &length, key, sizeof key, 1);
    CheckEq("Get First on key 1", status, 0);
    Check(memcmp(record + 4, "Five ", 5) == 0, "first name on key 1", record[4], 'F');
    length = sizeof record;
    status = BTRCALL(13, pos, record, &length, key, sizeof key, 1);
    CheckEq("Get Last on key 1", status, 0);
    Check(memcmp(record + 4, "Two ", 4) == 0, "last name on key 1", record[4], 'T');

    i = 4;
    memcpy(key, &i, 4);
    length = sizeof record;
    CheckEq("Get Equal 4", BTRCALL(5, pos, record, &length, key, sizeof key, 0), 0);
    Check(memcmp(record + 4, "Four ", 5) == 0, "record of Get Equal 4", record[4], 'F');
    i = 9;
    memcpy(key, &i, 4);
    length = sizeof record;
    CheckEq("Get Equal 9", BTRCALL(5, pos, record, &length, key, sizeof key, 0), 4);

    length = sizeof stats;
    status = BTRCALL(15, pos, stats, &length, key, sizeof key, 0);
    CheckEq("Stat", status, 0);
    CheckEq("Stat record length", stats[0] | stats[1] << 8, kRecordLength);
    CheckEq("Stat key count", stats[4], 2);
    CheckEq("Stat record count", stats[6] | stats[7] << 8 | stats[8] << 16 | stats[9] << 24,
            kRecords);

    length = sizeof version;
    CheckEq("Version", BTRCALL(26, pos, version, &length, key, sizeof key, 0), 0);
    CheckEq("Version entries", length, 10);

    length = 0;
    CheckEq("Close", BTRCALL(1, pos, NULL, &length, NULL, 0, 0), 0);
    length = sizeof record;
    CheckEq("Get First on the closed block", BTRCALL(12, pos, record, &length, key, sizeof key, 0),
            3);

    if (failures) return 1;
    printf("drop-in engine: all checks passed\n");
    remove(path);
    return 0;
}
