// A DLL that exports a function: the table check must refuse it.
extern "C" __declspec(dllexport) int PellixProbeExport() { return 1; }
