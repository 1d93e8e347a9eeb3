// The security of the work folder: the installer's own from the moment it exists. SYSTEM and
// Administrators have full control and Administrators own it; the user who runs the
// installer may read, run and delete (so that an unelevated clean-up can still remove it)
// but neither add nor change anything. The descriptor is protected and inherited by
// everything made inside.
#pragma once
#include <windows.h>

// The descriptor, with %s for the string form of the user's SID.
extern const char kWorkFolderSddl[];

class WorkFolderSecurity {
 public:
  // Builds the descriptor for the user of the process token; Attributes() is null when that
  // cannot be done.
  WorkFolderSecurity();
  WorkFolderSecurity(const WorkFolderSecurity &) = delete;
  WorkFolderSecurity &operator=(const WorkFolderSecurity &) = delete;
  ~WorkFolderSecurity();

  SECURITY_ATTRIBUTES *Attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};
