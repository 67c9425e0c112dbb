// How SDL's keys, mouse buttons and joystick axes map onto the input
// state's button bits, key codes and mouse codes.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "input/human_inputs_intf.h"

// Digit keys 1..5 of the main keyboard, for the button window.
uint32_t DigitButton(SDL_Keycode sym);

// The arrow keys, for the main window.
uint32_t ArrowButton(SDL_Keycode sym);

// Key code of a key pressed in the main window; KEY_NONE when it has none.
uint32_t KeyCode(SDL_Keycode sym);

// The button's bit: 0 for a button number that has none (SDL numbers
// buttons from 1).
uint32_t ButtonBit(const SDL_MouseButtonEvent& ev);

// Code of a mouse button event: the button's bit plus the flags; 0 when the
// button has no bit.
uint32_t MouseButtonCode(const SDL_MouseButtonEvent& ev, bool released);

// Both directions of one axis: at or past the threshold one way sets that
// bit and clears the other; the middle zone clears both.
uint32_t AxisButtons(Sint16 value, uint32_t negative, uint32_t positive);
