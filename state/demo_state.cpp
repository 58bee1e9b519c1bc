#include "state/demo_state.h"

DemoState demo{};
ScreenBuffer screenBuffer{};

void resetDemoState()
{
    demo.startTimeMs = 0;
    demo.timeSec = 0;
    demo.prevTimeSec = 0;
    demo.musicOrder = 0;
    demo.song = nullptr;
    relaxedStore(demo.accentPulse, 0.0f);
    relaxedStore(demo.beatPulse, 0.0f);
    relaxedStore(demo.beatCount, 0);
    demo.lastBeatCount = 0;
    demo.overlayX = 0;
    demo.overlayY = 0;
    demo.effectId = 0;
    demo.cameraPos = {0, 0, 0};
    demo.viewDistance = 0;
    demo.cellX = 0;
    demo.cellY = 0;
    demo.cellU = 0;
    demo.cellV = 0;
    demo.samplePoint = {0, 0, 0};
    demo.hitMaterial = 0;
    screenBuffer.fill(CharInfo{0, 0});
}
