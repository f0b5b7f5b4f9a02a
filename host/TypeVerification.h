#pragma once
// Whether a file is a butterfly type the saver can fly: it is loaded exactly
// as the saver loads a type (the lump reader's checks, then the model, its
// skeleton and the textures), in a hidden OpenGL context of its own.
#include <string>

// False with a one-line reason in `error`. Whatever OpenGL context (GLX or
// EGL) was current on the calling thread is current again afterwards; the
// C library's random sequence moves on by one number.
bool VerifyButterflyType(const std::string& path, std::string* error);
