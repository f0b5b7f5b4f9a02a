#pragma once
// How the system reports failures.
//
// Two channels:
//  - MessageBox: the image reader's user-visible alert (caption + text, one OK
//    button). On this platform the default alert writes the caption and the
//    text, literally, to standard error; a host may install another.
//  - ERRORCLOSE / ERRORBOX: report hooks for loader failures. By design they
//    show nothing; the default hooks do nothing. Tests install recording hooks
//    to check which message a loader reported.
// Main thread only; the hooks are module state.

#include <string>

#include "util/Math.h"

// Alert shown by MessageBox. `caption` and `text` are never null.
using AlertHook = void (*)(const char* caption, const char* text);
// Receives the message passed to ERRORCLOSE or ERRORBOX.
using ReportHook = void (*)(const char* message);

// Installs a hook; nullptr restores the default. Returns the previous hook.
AlertHook SetAlertHook(AlertHook hook);
ReportHook SetErrorCloseHook(ReportHook hook);
ReportHook SetErrorBoxHook(ReportHook hook);

// Owner and flags are ignored. Blocks until the alert is dismissed.
void MessageBox(void* owner, const char* text, const char* caption, int flags);
void ERRORCLOSE(const char* message);
void ERRORBOX(const char* message);

// Debug appenders: each opens its file in the system's temporary folder
// ($TMPDIR, else /tmp) for appending, writes and closes it. Nothing in the
// running system calls them.
void DEBUG(double v);             // "debug.txt", "%f\n"
void DEBUGstr(const char* s);     // "debug.txt", "%s\n"
void DEBUGp3d(VECTOR3D p);        // "debug.txt", "%f,%f,%f\n"
void SaveMatrix(MATRIX m);        // "test.txt", one line per column

// Folder the appenders write into, ending in "/". Read from the environment at
// every call, so a changed $TMPDIR takes effect at once.
std::string DebugFolder();
