// The program's entry point: hands over to the framework's main routine.
#include <windows.h>

int AfxWinMain();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
