// The pixels of an axis-aligned ellipse, as the renderer's rectangles.
#pragma once

#include <SDL.h>

#include <vector>

// Appends to `out` the one-pixel-wide vertical runs that make the ellipse
// with centre (cx, cy) and radii rx, ry (filled, or its outline), clipped to
// the area 0..clipW-1 x 0..clipH-1. The pixels are those of SDL2_gfx's
// midpoint algorithm wherever that library computes them without overflow;
// here every term is 64-bit, so radii up to 32767 and centres anywhere in
// the 16-bit range come out right. Only visible runs are produced, so what
// the renderer is handed is bounded by the visible part of the shape.
// Negative radii give nothing.
void traceEllipse(int cx, int cy, int rx, int ry, bool filled, int clipW, int clipH, std::vector<SDL_Rect>& out);
