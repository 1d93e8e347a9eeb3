// Linked into a loader variant: makes it import protection_dependency.dll.
extern "C" __declspec(dllimport) int __cdecl protection_dependency_answer();

namespace {
// Called while the library initialises, so the import cannot be dropped.
const int kAnswer = protection_dependency_answer();
}  // namespace

extern "C" int protection_dependency_seen() { return kAnswer; }
