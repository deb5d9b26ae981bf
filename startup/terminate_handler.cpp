// The program's handler for std::terminate: a plain abort. GCC's default handler prints the name of the exception
// to standard error, which a GUI program has not got, and it brings the C++ name demangler and a formatted-print
// engine with it: a third of the program's size.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {

// Defined here, the library's own version is never linked in; the library still calls it as the default handler.
void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx
#endif
