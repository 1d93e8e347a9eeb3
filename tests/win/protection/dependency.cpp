// A library that only a loader variant imports: it lies next to that variant in the work
// folder, so the variant loads only when the work folder is searched for dependencies.
extern "C" __declspec(dllexport) int __cdecl protection_dependency_answer() { return 42; }
