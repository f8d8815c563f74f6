// The tcsetattr recorder of the serial link tests. It must be defined exactly
// once in each test executable, so it lives here rather than in the header.

#include "serial_test_support.h"

#include <dlfcn.h>

namespace serial_test {

termios g_requested{};
int g_requests = 0;

} // namespace serial_test

// Records what the serial module asks for, then lets the C library do it.
extern "C" int tcsetattr(int fd, int action, const struct termios *tio) noexcept
{
    using Real = int (*)(int, int, const struct termios *);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "tcsetattr"));
    if (tio) {
        serial_test::g_requested = *tio;
        ++serial_test::g_requests;
    }
    return real ? real(fd, action, tio) : (errno = ENOSYS, -1);
}
