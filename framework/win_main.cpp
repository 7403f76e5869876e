// The program's entry point, and lean versions of the standard library's terminate and error hooks.
#include "framework/step_marks.h"

#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>

int AfxWinMain();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  StepMark("entry");
  const int code = AfxWinMain();
  WriteStepMarks();
  return code;
}

// These replace the library's own definitions on purpose, so the reserved names, the std namespace and
// the library's variadic signature are deliberate here.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,cert-dcl58-cpp,cert-dcl50-cpp)

// The library's default terminate handler demangles type names for a console nobody sees
// (about 50 KB of code); a GUI program just ends.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}

// Strings and vectors report misuse through these; the library's own pull in its copy-on-write string. Too long
// a length is the allocation failure the program handles; the rest are bugs that would end it uncaught anyway.
namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
} // namespace std
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,cert-dcl58-cpp,cert-dcl50-cpp)
