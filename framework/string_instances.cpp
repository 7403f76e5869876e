// The program's own instances of the two string classes. libstdc++ brings its explicit instantiations as
// whole objects, every member with its unwind tables (some 28 KB of code and 28 KB of tables each), of which
// the program uses a few; instantiated here, in sections of their own, the linker keeps only what is used.
#include <string>

template class std::basic_string<char>;
template class std::basic_string<wchar_t>;
