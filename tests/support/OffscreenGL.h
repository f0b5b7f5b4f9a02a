#pragma once
// The offscreen context lives with the platform layer, which renders with it
// when there is no display.
#include "platform/OffscreenGL.h"
