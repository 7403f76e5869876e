/* A program that imports GetTickCount64 (Vista on): the import check must refuse it. */
#include <windows.h>

int main(void) { return (int)(GetTickCount64() & 1); }
