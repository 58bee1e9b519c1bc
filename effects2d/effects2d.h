// The two-dimensional effects: each computes the cell named by demo.cellX and
// demo.cellY from the frame's time and beat, and writes that cell only.
#pragma once

// effectId 0: two travelling waves and rings, coloured by beat and order parity.
void plasmaCell();

// effectId 9: the texture, repeated, turned, zoomed and wobbled.
void warpCell();
