// wingdrift: butterflies flying over the desktop, a screen saver for X11 and
// XScreenSaver, and an offscreen renderer of the same (see CommandLine.h).
#include <cstdio>
#include <string>

#include "host/CommandLine.h"
#include "host/Recorder.h"
#include "host/X11Saver.h"
#include "platform/HeapPolicy.h"
#include "util/StartupTrace.h"

int main(int argc, char** argv) {
  KeepFreedHeapMemory();
  TraceStart("main");
  CommandLine commandLine;
  std::string error;
  if (!commandLine.Parse(argc, argv, &error)) {
    std::fprintf(stderr, "wingdrift: %s\n", error.c_str());
    return 2;
  }
  switch (commandLine.mode) {
    case CommandLine::Mode::Help:
      std::fputs(UsageText(), stdout);
      return 0;
    case CommandLine::Mode::Version:
      std::printf("wingdrift %s\n", WINGDRIFT_VERSION);
      return 0;
    case CommandLine::Mode::Record: {
      RecordOptions options;
      options.path = commandLine.recordPath;
      options.settings = commandLine.settings;
      if (commandLine.width > 0) {
        options.width = commandLine.width;
        options.height = commandLine.height;
      }
      options.seconds = commandLine.seconds;
      options.start = commandLine.start;
      options.seed = commandLine.seed;
      return Record(options, false);
    }
    default:
      return RunOnX11(commandLine);
  }
}
