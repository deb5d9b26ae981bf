// A DLL as an attacker would drop it beside a program or in its current folder. Its one export, named as
// kPlantedExport of dll_search_probe.h, tells the program which file it got.
extern "C" __declspec(dllexport) int QuimblePlanted()
{
    return 1;
}
