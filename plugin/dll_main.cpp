// The entry routine that Windows calls when it loads and unloads the DLL.
// What the library keeps outside the handles it gives out (the progress
// callbacks of PackFiles and DeleteFiles, set with the handle -1) starts
// empty and needs no tearing down, so there is nothing to do here. Not
// exported: palmdb.def lists the nine functions only.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}
