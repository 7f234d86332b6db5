#include "platform/NetworkAddresses.h"

#include <cstring>
#include <memory>
#include <utility>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace networkaddresses {

namespace {

Source& currentSource() {
    static Source source;
    return source;
}

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

QStringList systemAddresses() {
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0)
        return {};
    const std::unique_ptr<ifaddrs, IfAddrsDeleter> list(raw);
    QStringList addresses;
    for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if ((entry->ifa_flags & IFF_LOOPBACK) || !(entry->ifa_flags & IFF_UP))
            continue;
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
            addresses.append(QString::fromLatin1(text));
    }
    return addresses;
}

} // namespace

QStringList localIPv4Addresses() {
    const Source& source = currentSource();
    return source ? source() : systemAddresses();
}

Source setSource(Source source) {
    return std::exchange(currentSource(), std::move(source));
}

} // namespace networkaddresses
