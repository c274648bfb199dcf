#pragma once

// Marks on the bid's way from the trigger to its first request, for the benchmark that breaks
// the trigger's milliseconds down into stages. Only a benchmark build (GF_BUILD_BENCH) compiles
// them in, as calls of stagemarks::reached, which does nothing unless the benchmark program
// defines it; in every other build a mark is no code at all.
#ifdef GF_STAGE_MARKS
namespace stagemarks {
// `stage` names the stage that has just ended (a text that lives for the whole run).
void reached(const char* stage);
}  // namespace stagemarks
#define GF_STAGE_MARK(stage) ::stagemarks::reached(stage)
#else
#define GF_STAGE_MARK(stage) static_cast<void>(0)
#endif
