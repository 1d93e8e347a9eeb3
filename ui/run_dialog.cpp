// Placeholder until the progress dialog lands: start-up ends right after the copy.
#include "app/app.h"

void RunProgressDialog(const char *, int) {}
