#pragma once
// One-line notices to the user on standard error, each distinct line at most
// once per process: several views (one per monitor) meet the same fallback,
// and the user needs to hear of it once. Lines are written as
// "wingdrift: <text>\n". Main thread only.
#include <string>

// Writes the line unless the same text was written before. Returns whether
// it was written.
bool Notice(const std::string& text);
// Forgets the lines written so far, so that a later start in the same
// process (a test) says them again.
void ForgetNotices();
