// The DLL's entry point: loading and unloading run nothing of the library's own, so every
// notification reports success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
