// Writes a hash database with duplicates through hostdata.dll's export
// number 1, as the module does; hostdata_dump.sh reads it back natively.
#include <windows.h>
#include <db.h>
#include <cstdio>
#include <cstring>

typedef int (*DbCreate)(DB**, DB_ENV*, u_int32_t);

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: hostdata_probe FILE\n");
        return 2;
    }
    HMODULE module = LoadLibraryA("hostdata.dll");
    if (!module) { fprintf(stderr, "hostdata.dll not loaded\n"); return 1; }
    if (GetProcAddress(module, "db_create")) { fprintf(stderr, "db_create must not be exported by name\n"); return 1; }
    auto create = reinterpret_cast<DbCreate>(GetProcAddress(module, MAKEINTRESOURCEA(1)));
    if (!create) { fprintf(stderr, "no export number 1\n"); return 1; }

    DB* db = nullptr;
    if (create(&db, nullptr, 0) != 0) { fprintf(stderr, "db_create failed\n"); return 1; }
    if (db->set_flags(db, DB_DUP) != 0) { fprintf(stderr, "set_flags failed\n"); return 1; }
    int rc = db->open(db, nullptr, argv[1], "probe", DB_HASH, DB_CREATE, 0600);
    if (rc != 0) { fprintf(stderr, "open failed: %d\n", rc); return 1; }
    const char* values[] = {"first", "second"};
    for (const char* value : values) {
        DBT key = {}, data = {};
        key.data = (void*)"peer";
        key.size = 4;
        data.data = (void*)value;
        data.size = (u_int32_t)strlen(value);
        if (db->put(db, nullptr, &key, &data, 0) != 0) { fprintf(stderr, "put failed\n"); return 1; }
    }
    db->close(db, 0);
    printf("written\n");
    return 0;
}
