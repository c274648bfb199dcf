#include "app/stagemarks.h"

#ifdef GF_STAGE_MARKS
// Nothing by default; the trigger benchmark links its own definition in place of this one.
__attribute__((weak)) void stagemarks::reached(const char*) {}
#endif
