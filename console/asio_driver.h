// The interface an ASIO driver's object answers with its own class id, laid out as its binary interface is
// documented: IUnknown's three methods, then the driver's, in this order. Shared by the probe's child and the test
// drivers that stand for real ones.
#pragma once

#include <unknwn.h>

// On 32-bit Windows the driver's own methods follow the compilers' C++ member-function convention, thiscall (the
// object in ECX, the callee pops its arguments), not the stdcall of IUnknown's. Written out rather than left to
// the compiler's default, so a change of that default cannot move the stack under a driver.
#if defined(__i386__) || defined(_M_IX86)
#if defined(_MSC_VER)
#define ASIO_METHOD __thiscall
#else
#define ASIO_METHOD __attribute__((thiscall))
#endif
#else
#define ASIO_METHOD
#endif

// Outside any anonymous namespace: g++ -O2 was seen to treat a call through a pure interface with no visible
// implementation in an anonymous namespace as unreachable.
struct AsioDriver : IUnknown {
    virtual long ASIO_METHOD init(void* systemHandle) = 0;  // nonzero when the driver is ready
    virtual void ASIO_METHOD getDriverName(char name[32]) = 0;
    virtual long ASIO_METHOD getDriverVersion() = 0;
    virtual void ASIO_METHOD getErrorMessage(char text[124]) = 0;
    virtual long ASIO_METHOD start() = 0;
    virtual long ASIO_METHOD stop() = 0;
    virtual long ASIO_METHOD getChannels(long* inputs, long* outputs) = 0;
    virtual long ASIO_METHOD getLatencies(long* input, long* output) = 0;
    virtual long ASIO_METHOD getBufferSize(long* minimum, long* maximum, long* preferred, long* granularity) = 0;
    virtual long ASIO_METHOD canSampleRate(double rate) = 0;
    virtual long ASIO_METHOD getSampleRate(double* rate) = 0;
    virtual long ASIO_METHOD setSampleRate(double rate) = 0;
    virtual long ASIO_METHOD getClockSources(void* clocks, long* count) = 0;
    virtual long ASIO_METHOD setClockSource(long reference) = 0;
    virtual long ASIO_METHOD getSamplePosition(void* position, void* timeStamp) = 0;
    virtual long ASIO_METHOD getChannelInfo(void* info) = 0;
    virtual long ASIO_METHOD createBuffers(void* infos, long channels, long bufferSize, void* callbacks) = 0;
    virtual long ASIO_METHOD disposeBuffers() = 0;
    virtual long ASIO_METHOD controlPanel() = 0;
    virtual long ASIO_METHOD future(long selector, void* parameter) = 0;
    virtual long ASIO_METHOD outputReady() = 0;
};

// What the methods that return an error code answer on success: 0, or this value, which some drivers return.
constexpr long kAsioOk = 0;
constexpr long kAsioSuccess = 0x3f4847a0;

inline bool AsioSucceeded(long code)
{
    return code == kAsioOk || code == kAsioSuccess;
}
