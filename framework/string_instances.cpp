// The program's own instances of the two string classes: libstdc++'s come as whole objects, every member with its
// unwind tables; instantiated here, in sections of their own, the linker keeps only what is used.
#include <string>

template class std::basic_string<char>;
template class std::basic_string<wchar_t>;
