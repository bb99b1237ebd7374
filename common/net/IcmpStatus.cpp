#include "IcmpStatus.h"

#include <cerrno>
#include <map>

namespace net {

std::string IcmpStatusText(int code)
{
    static const std::map<int, const char*> texts = {
        { 0, "No error" },
        { 11001, "Buffer too small" },
        { 11002, "Destination network unreachable" },
        { 11003, "Destination host unreachable" },
        { 11004, "Destination protocol unreachable" },
        { 11005, "Destination port unreachable" },
        { 11006, "No resources" },
        { 11007, "Bad option" },
        { 11008, "Hardware error" },
        { 11009, "Packet too big" },
        { 11010, "Request timed out" },
        { 11011, "Bad request" },
        { 11012, "Bad route" },
        { 11013, "TTL expired in transit" },
        { 11014, "TTL expired in reassembly" },
        { 11015, "Parameter problem" },
        { 11016, "Source quench" },
        { 11017, "Option too big" },
        { 11018, "Bad Destination" },
        { 11019, "Address deleted" },
        { 11020, "Spec MTU change" },
        { 11021, "MTU change" },
        { 11050, "General failure" },
        { 11255, "Pending" },
    };
    const auto it = texts.find(code);
    return it != texts.end() ? it->second : "ICMP error #" + std::to_string(code);
}

int IcmpStatusFromReport(int type, int code)
{
    enum
    {
        DestUnreachable = 3,
        SourceQuench = 4,
        TimeExceeded = 11,
        ParameterProblem = 12
    };
    switch (type) {
    case DestUnreachable:
        switch (code) {
        case 0: // network
        case 6: // network unknown
        case 9: // network administratively prohibited
        case 11: // network unreachable for this type of service
            return 11002;
        case 2:
            return 11004;
        case 3:
            return 11005;
        case 4: // fragmentation needed and do-not-fragment set
            return 11009;
        case 5: // source route failed
            return 11012;
        default: // host, host unknown, host or communication prohibited, ...
            return 11003;
        }
    case SourceQuench:
        return 11016;
    case TimeExceeded:
        return code == 1 ? 11014 : 11013;
    case ParameterProblem:
        return 11015;
    default:
        return 11050;
    }
}

int Icmp6StatusFromReport(int type, int code)
{
    enum
    {
        DestUnreachable = 1,
        PacketTooBig = 2,
        TimeExceeded = 3,
        ParameterProblem = 4
    };
    switch (type) {
    case DestUnreachable:
        switch (code) {
        case 0: // no route
        case 2: // beyond the scope of the source address
        case 6: // reject route
            return 11002;
        case 4:
            return 11005;
        default: // administratively prohibited, address unreachable, source policy
            return 11003;
        }
    case PacketTooBig:
        return 11009;
    case TimeExceeded:
        return code == 1 ? 11014 : 11013;
    case ParameterProblem:
        return 11015;
    default:
        return 11050;
    }
}

int IcmpStatusFromSendError(int error)
{
    switch (error) {
    case ENETUNREACH:
        return 11002;
    case EHOSTUNREACH:
        return 11003;
    case EMSGSIZE:
        return 11009;
    case ENOBUFS:
    case ENOMEM:
    case EAGAIN:
        return 11006;
    case EINVAL:
        return IcmpStatusBadRequest;
    default:
        return 11050;
    }
}

} // namespace net
