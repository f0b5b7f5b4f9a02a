#pragma once
// The offscreen context lives with the tools, which render previews with it.
#include "tools/OffscreenGL.h"
