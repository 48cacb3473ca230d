#include "audio/room_measure.h"

#include <algorithm>

void startRoomMeasure(RoomMeasure& room, int buffers) {
    room.buffersLeft = std::max(buffers, 1);
    room.loudestDbfs = -HUGE_VAL;
}

bool hearRoom(RoomMeasure& room, const ToneReading& tone, const LevelRule& rule) {
    if (room.buffersLeft <= 0)
        return false;
    if (tone.clear && tone.peakBin >= rule.peakThreshold)
        room.loudestDbfs = std::max(room.loudestDbfs, tone.peakDbfs);
    return --room.buffersLeft == 0;
}

double roomSensitivity(const RoomMeasure& room) {
    if (!(room.loudestDbfs > -HUGE_VAL))
        return quietestToneMinDbfs;
    return clampQuietestTone(room.loudestDbfs + roomMarginDb);
}
