// The DLL's terminate handler. libstdc++'s default one writes the type of the
// exception, demangled, to stderr before it aborts, and brings the demangler
// and a printf family with it: about 70 KB, more than a third of the DLL. The
// player has no console to show that text on, and nothing is meant to reach
// terminate at all: every thread procedure and callback of the plugin lets no
// exception out. So this one only aborts. Defined here, it keeps the static
// link from taking libstdc++'s own; the tests keep the default.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx
