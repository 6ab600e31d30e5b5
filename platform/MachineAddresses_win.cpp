#include "platform/MachineAddresses_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <memory>

namespace {

using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG, ULONG, void*, IP_ADAPTER_ADDRESSES*, ULONG*);

// iphlpapi is not a KnownDLL: imported statically it would be looked for
// beside the exe first. Loaded from the system folder only, once.
GetAdaptersAddressesFn LoadGetAdaptersAddresses() {
    static const GetAdaptersAddressesFn fn = [] {
        const HMODULE dll = LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return dll ? reinterpret_cast<GetAdaptersAddressesFn>(
                         reinterpret_cast<void*>(GetProcAddress(dll, "GetAdaptersAddresses")))
                   : nullptr;
    }();
    return fn;
}

std::string Text(const SOCKET_ADDRESS& a) {
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* s = a.lpSockaddr;
    if (!s || (s->sa_family != AF_INET && s->sa_family != AF_INET6)) return {};
    const void* address = s->sa_family == AF_INET6
                              ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(s)->sin6_addr)
                              : &reinterpret_cast<const sockaddr_in*>(s)->sin_addr;
    return inet_ntop(s->sa_family, address, text, sizeof text) ? text : std::string();
}

}  // namespace

std::vector<std::string> Win32MachineAddresses::List() const {
    std::vector<std::string> out;
    const GetAdaptersAddressesFn get = LoadGetAdaptersAddresses();
    if (!get) return out;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list grows between the call that sizes it and the one that fills
    // it when an interface appears: a few tries, then what there is.
    ULONG size = 16 * 1024;
    std::unique_ptr<BYTE[]> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && rc == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer = std::make_unique<BYTE[]>(size);
        rc = get(AF_UNSPEC, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (rc != NO_ERROR) return out;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter; adapter = adapter->Next)
        for (auto* u = adapter->FirstUnicastAddress; u; u = u->Next)
            if (std::string t = Text(u->Address); !t.empty()) out.push_back(std::move(t));
    return out;
}
