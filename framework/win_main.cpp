// The program's entry point: hands over to the framework's main routine.
#include <windows.h>

#include <cstdlib>

int AfxWinMain();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }

// The library's default terminate handler demangles type names for a console nobody sees
// (about 50 KB of code); a GUI program just ends.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}
