// Start-up's table of fatal outcomes: for every way a run can fail, the exit code a deployment
// tool reads and the message the user is shown.
#pragma once
#include "base/run_outcome.h"

struct FatalOutcome {
  kx::Fatal fatal;
  unsigned exitCode;
  const char *text;  // nullptr: no message here (the set-up has shown its own, or there is none)
  bool silenceable;  // a run whose silent mode shows no messages shows none for it either
};

const FatalOutcome &FatalOutcomeOf(kx::Fatal fatal);
