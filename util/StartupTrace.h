#pragma once
// The way to the first drawn frame, stage by stage: with the environment
// variable WINGDRIFT_TRACE_START set (to anything), each call prints one line
// on standard error, "wingdrift: start +S.SSS s (CPU C.CCC s) STAGE", S being
// the seconds since the process started (the kernel's start time, to 10 ms)
// and C the CPU seconds the process has used so far, all its threads
// together (on a busy machine the clearer measure of its own work). Without it,
// nothing, at the cost of one getenv on the first call.
void TraceStart(const char* stage);
