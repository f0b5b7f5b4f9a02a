#include "host/SettingsOverrides.h"

#include "util/CString.h"

void SettingsOverrides::ApplyTo(SETTINGS* settings, bool* mainOnly) const {
  if (count) settings->MAX_BFLY = *count;
  if (size) settings->LBFLYSIZE = *size;
  if (speed) settings->LFLYSPEED = *speed;
  if (shadows) settings->WANTSHADOW = *shadows;
  if (mix) settings->MIXBFLY = 0;
  if (type) {
    settings->MIXBFLY = 1;
    CopyCString(settings->SelectedBFlyName, type->c_str());
  }
  if (background) settings->BGTYPE = *background;
  if (folder) CopyCString(settings->BGPath, folder->c_str());
  if (detail) settings->BGRES = *detail;
  if (mainMonitorOnly) *mainOnly = true;
}
