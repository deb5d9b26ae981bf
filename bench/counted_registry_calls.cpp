// Counting stand-ins for the store's registry calls: each counts and times itself and makes the real call.
#include "counted_registry_calls.h"

#include "dialog_timing.h"

#include <type_traits>

namespace {

struct Counter {
    const char* name;
    long calls;
    double ms;
};

// The stand-in of one member of the table, whatever that member's signature.
template <auto Member, typename Call = std::remove_reference_t<decltype(std::declval<RegistryCalls&>().*Member)>>
struct StandIn;

template <auto Member, typename Result, typename... Arguments> struct StandIn<Member, Result(WINAPI*)(Arguments...)> {
    static inline Counter counter = {};
    static inline Result(WINAPI* real)(Arguments...) = nullptr;

    static Result WINAPI Call(Arguments... arguments)
    {
        ++counter.calls;
        const double start = NowMs();
        const Result result = real(arguments...);
        counter.ms += NowMs() - start;
        return result;
    }

    static Counter* Install(const RegistryCalls& realCalls, const char* name)
    {
        real = realCalls.*Member;
        counter = Counter{name, 0, 0};
        registryCalls.*Member = &Call;
        return &counter;
    }
};

// In the table's order.
std::vector<Counter*> counters;
// A call added to the table must be counted too.
static_assert(sizeof(RegistryCalls) == 17 * sizeof(void (*)()), "every call of the table has its stand-in below");

}  // namespace

CountedRegistryCalls::CountedRegistryCalls() : real_(registryCalls)
{
    counters = {
        StandIn<&RegistryCalls::openKeyEx>::Install(real_, "RegOpenKeyExA"),
        StandIn<&RegistryCalls::openKeyExW>::Install(real_, "RegOpenKeyExW"),
        StandIn<&RegistryCalls::createKeyEx>::Install(real_, "RegCreateKeyExA"),
        StandIn<&RegistryCalls::createKeyExW>::Install(real_, "RegCreateKeyExW"),
        StandIn<&RegistryCalls::queryInfoKey>::Install(real_, "RegQueryInfoKeyA"),
        StandIn<&RegistryCalls::queryInfoKeyW>::Install(real_, "RegQueryInfoKeyW"),
        StandIn<&RegistryCalls::enumKeyEx>::Install(real_, "RegEnumKeyExA"),
        StandIn<&RegistryCalls::enumKeyExW>::Install(real_, "RegEnumKeyExW"),
        StandIn<&RegistryCalls::enumValue>::Install(real_, "RegEnumValueA"),
        StandIn<&RegistryCalls::enumValueW>::Install(real_, "RegEnumValueW"),
        StandIn<&RegistryCalls::queryValueEx>::Install(real_, "RegQueryValueExA"),
        StandIn<&RegistryCalls::setValueExW>::Install(real_, "RegSetValueExW"),
        StandIn<&RegistryCalls::getKeySecurity>::Install(real_, "RegGetKeySecurity"),
        StandIn<&RegistryCalls::setKeySecurity>::Install(real_, "RegSetKeySecurity"),
        StandIn<&RegistryCalls::deleteOpenKey>::Install(real_, "NtDeleteKey"),
        StandIn<&RegistryCalls::deleteValue>::Install(real_, "RegDeleteValueA"),
        StandIn<&RegistryCalls::closeKey>::Install(real_, "RegCloseKey"),
    };
}

CountedRegistryCalls::~CountedRegistryCalls()
{
    registryCalls = real_;
    counters.clear();
}

void CountedRegistryCalls::Reset()
{
    for (Counter* counter : counters) {
        counter->calls = 0;
        counter->ms = 0;
    }
}

std::vector<CallTally> CountedRegistryCalls::Tallies() const
{
    std::vector<CallTally> tallies;
    for (const Counter* counter : counters)
        tallies.push_back(CallTally{counter->name, counter->calls, counter->ms});
    return tallies;
}
