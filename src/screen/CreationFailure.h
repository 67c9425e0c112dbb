// How the screen tells that a resource it needs could not be made: the
// failing call (as "Error: SDL_CreateWindow") and the library's error text.
// The application shows it in its alert.
#pragma once

#include <functional>

using CreationFailure = std::function<void(const char* what, const char* why)>;
