// Preloaded into the real program by a test (LD_PRELOAD): the name "localhost" does not
// resolve, as on a minimal root without /etc/hosts. Other names and numeric addresses
// resolve as usual.
#include <dlfcn.h>
#include <netdb.h>
#include <strings.h>

#include <cerrno>

namespace {

bool isLocalhost(const char* name) {
    return name != nullptr &&
           (::strcasecmp(name, "localhost") == 0 || ::strcasecmp(name, "localhost.") == 0);
}

template <typename Function> Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    using Getaddrinfo = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto next = real<Getaddrinfo>("getaddrinfo");
    if (isLocalhost(node))
        return EAI_NONAME;
    return next(node, service, hints, result);
}

extern "C" hostent* gethostbyname(const char* name) {
    using Gethostbyname = hostent* (*)(const char*);
    static const auto next = real<Gethostbyname>("gethostbyname");
    if (isLocalhost(name)) {
        h_errno = HOST_NOT_FOUND;
        return nullptr;
    }
    return next(name);
}

extern "C" int gethostbyname_r(const char* name, hostent* entry, char* buffer, size_t length,
                               hostent** result, int* error) {
    using GethostbynameR = int (*)(const char*, hostent*, char*, size_t, hostent**, int*);
    static const auto next = real<GethostbynameR>("gethostbyname_r");
    if (isLocalhost(name)) {
        *result = nullptr;
        *error = HOST_NOT_FOUND;
        return ENOENT;
    }
    return next(name, entry, buffer, length, result, error);
}
