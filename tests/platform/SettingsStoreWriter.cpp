// Test helper: saves the two crash-test settings alternately, forever, until
// it is killed. The store's folder comes from XDG_CONFIG_HOME. After its
// first save it writes one byte to standard output, so the test knows that
// every later kill lands inside the save loop.
#include <unistd.h>

#include "tests/platform/CrashSettings.h"

int main() {
  ScreenSaverDefaults store(kCrashModule);
  for (unsigned long i = 0;; ++i) {
    ApplyCrashSettings(store, i % 2 ? 'B' : 'A');
    if (!store.synchronize()) return 1;
    if (i == 0 && write(STDOUT_FILENO, "+", 1) != 1) return 1;
  }
}
