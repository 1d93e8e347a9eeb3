// Placeholder until the engine lands: every archive reads as "not an archive".
#include "arj/arj.h"

short arj_count_members(const char *) { return 111; }
short arj_extract_member(const char *, int, const char *, char *bare_name_out,
                         size_t bare_name_size) {
  if (bare_name_out && bare_name_size) bare_name_out[0] = '\0';
  return 111;
}
