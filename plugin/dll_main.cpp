// The entry routine that Windows calls when it loads and unloads the DLL.
// The library keeps no state outside the handles it gives out, so there is
// nothing to set up or tear down. Not exported: palmdb.def lists the nine
// functions only.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}
