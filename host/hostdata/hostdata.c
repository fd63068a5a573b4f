/* The host's data module. Its only job is to carry Berkeley DB into the
 * process: the library is linked statically and db_create is exported by
 * number, without a name, as the host's modules expect. */
#include <windows.h>
#include <db.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
