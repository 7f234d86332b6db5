// Preloaded into the real program by a test (LD_PRELOAD): the first write into a file whose
// name begins with $CUVORA_KILL_AT_WRITE (any letter case) kills the process on the spot,
// before a byte is written, as a kill or a power cut would between the moment a file is
// emptied or created and the moment its content lands.
#include <dlfcn.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isMarked(int fd) {
    const char* prefix = std::getenv("CUVORA_KILL_AT_WRITE");
    if (prefix == nullptr || *prefix == '\0')
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    const char* slash = std::strrchr(target, '/');
    const char* name = slash ? slash + 1 : target;
    return ::strncasecmp(name, prefix, std::strlen(prefix)) == 0;
}

} // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    using Write = ssize_t (*)(int, const void*, size_t);
    static const auto real = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    if (isMarked(fd))
        ::raise(SIGKILL);
    return real(fd, buffer, count);
}
