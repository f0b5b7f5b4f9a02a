#pragma once
// The local time of day.

// Fills hour (0-23), minute (0-59) and second (0-60, a leap second) from the
// local time of day; a null pointer is skipped. All three are 0 when the
// local time cannot be found.
void Clock(int* hour, int* minute, int* second);
