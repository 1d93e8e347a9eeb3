// The progress dialog as start-up runs it: handed everything it needs, it hands back one
// outcome.
#pragma once
#include "base/options.h"
#include "base/run_outcome.h"
#include "base/stamp.h"

// Runs the progress dialog modally over the work folder (workDir ends in a backslash), with
// the silent mode and the options for the inner installer. How the run ended: the inner
// installer's exit code, a cancel (also a dialog that could not be made), or a failure.
kx::RunOutcome RunProgressDialog(const char *workDir, const kx::SilentMode &silent,
                                 const kx::InstallerOptions &options);
