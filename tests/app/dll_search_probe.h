// What the DLL-search probe tells by its exit code: which file a load by name gave it.
#pragma once

enum ProbeResult {
    kLoadedNothing = 0,
    kLoadedAnother = 1,  // a DLL of that name that is not the planted one: System32's
    kLoadedPlanted = 2,
    kGuardSaidOtherwise = 3,  // the guard did not report what the mode asked for
    kUsage = 4,
};

// The planted DLL's one export, which no DLL of Windows has.
constexpr char kPlantedExport[] = "QuimblePlanted";
