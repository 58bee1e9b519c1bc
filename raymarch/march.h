// The ray-march renderer: one ray per cell through the scene of demo.effectId.
#pragma once

#include "state/demo_state.h"

// effectId 1..8: renders the cell named by demo.cellX and demo.cellY.
void marchCell();

// The signed distance from a point to the scene of demo.effectId (1..6), 0 for
// any other id.
float sceneDistanceAt(float x, float y, float z);

// The normalised gradient of three forward samples (x, y, z offsets of 0.001).
Vector3 estimateNormal(float x, float y, float z);
