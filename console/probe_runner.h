// The probe's engine: each driver loaded in a child process of its view's architecture, one at a time, each child
// held in a job that ends with it; the child's report read into one result per driver.
#pragma once

#include <optional>
#include <string>
#include <vector>

// A driver to probe: where it is registered and its class id as the registry holds it (UTF-8).
struct ProbeTarget {
    int view;  // 32 or 64
    bool hidden;
    std::string name;
    std::optional<std::string> clsid;
};

enum class ProbeOutcome { Loads, InitFailed, Crashes, Hangs, CannotLoad, NotProbed };

// The word the table and the JSON print for an outcome.
const char* ProbeOutcomeWord(ProbeOutcome outcome);

struct ProbeResult {
    ProbeTarget target;
    ProbeOutcome outcome = ProbeOutcome::NotProbed;
    std::optional<std::string> call;  // the call the child crashed in, hung in, or that failed
    std::optional<unsigned long> code;  // the exception, the HRESULT, or the exit code of a child that just ended
    std::optional<std::string> message;  // the driver's error text, the exception's name, the system's words, a reason
    std::optional<std::string> module;   // the file the faulting address lies in
    std::optional<std::string> driverName;
    std::optional<long> driverVersion;
    std::optional<long> inputs;
    std::optional<long> outputs;
    std::optional<long> bufferMin;
    std::optional<long> bufferMax;
    std::optional<long> bufferPreferred;
    std::optional<long> bufferGranularity;
    std::optional<double> sampleRate;
};

// Probes the drivers in the order given and returns their results in that order. A child still running after
// `timeoutSeconds` is ended with everything it started.
std::vector<ProbeResult> ProbeDrivers(const std::vector<ProbeTarget>& targets, unsigned timeoutSeconds);

// The name of an exception code as the system's headers name it ("access violation"); empty for one it does not know.
const char* ExceptionName(unsigned long code);
