#pragma once
// The way to the first drawn frame, stage by stage: with the environment
// variable WINGDRIFT_TRACE_START set (to anything), each call prints one line
// on standard error, "wingdrift: start +S.SSS s STAGE", S being the seconds
// since the process started (the kernel's start time, to 10 ms). Without it,
// nothing, at the cost of one getenv on the first call.
void TraceStart(const char* stage);
