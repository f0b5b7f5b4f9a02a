#pragma once
// The screen saver on an X display, in each of the program's display modes:
//  - FullScreen: one override-redirect view per monitor, the desktop
//    captured before they map, the pointer hidden; a key press, a click or
//    pointer motion beyond a few pixels ends it;
//  - Window, Preview: one view in an ordinary window (1280 x 720 unless
//    given, or 400 x 300 as a preview); q, Escape or closing it ends it;
//  - Root: XScreenSaver's window ($XSCREENSAVER_WINDOW) or the root window;
//  - WindowId: someone else's window, as a preview.
// SIGTERM, SIGINT, SIGHUP, the view's window going away and a lost X
// connection all end the program quietly with status 0; a signal ends it
// within a second whatever it is doing, set-up included.
#include "host/CommandLine.h"

// Runs until one of the ends above; returns the exit status (0, or 1 with a
// line on standard error when the display, a window or OpenGL is not there).
int RunOnX11(const CommandLine& commandLine);
