// Stand-in client library. Its version resource (fbclient.rc) is all that
// matters; the one export lets a caller see it was loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int istrel_fbclient_standin() { return 1; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
