#include "runtime/cell_frame.h"

CellFrame cellFrameOfDemo()
{
    return {demo.timeSec,
            demo.musicOrder,
            demo.effectId,
            demo.cameraPos,
            demo.viewDistance,
            relaxedLoad(demo.accentPulse),
            relaxedLoad(demo.beatPulse),
            relaxedLoad(demo.beatCount)};
}

void useCellFrame(const CellFrame& frame)
{
    demo.timeSec = frame.timeSec;
    demo.musicOrder = frame.musicOrder;
    demo.effectId = frame.effectId;
    demo.cameraPos = frame.cameraPos;
    demo.viewDistance = frame.viewDistance;
    relaxedStore(demo.accentPulse, frame.accentPulse);
    relaxedStore(demo.beatPulse, frame.beatPulse);
    relaxedStore(demo.beatCount, frame.beatCount);
}
