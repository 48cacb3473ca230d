// "Measure the room": the game listens to a few seconds of the player's
// silence and sets the sensitivity just above the loudest line it heard that
// would otherwise have counted, a clear tone at or above the threshold (a
// monitor's whine, a fan's bearing). Lines below the threshold never count,
// and noise is never clear, so neither raises the bar.
#pragma once
#include "audio/level_rule.h"
#include "audio/tone_detector.h"

// Three seconds of 4096-sample buffers at 22050 samples/s.
constexpr int roomMeasureBuffers = 17;
// How far above the loudest line the bar is put.
constexpr double roomMarginDb = 3.0;

struct RoomMeasure {
    int buffersLeft = 0;
    double loudestDbfs = -HUGE_VAL;
};

void startRoomMeasure(RoomMeasure& room, int buffers = roomMeasureBuffers);

// One buffer, read with a rule that lets a line of any loudness count
// (ToneRule{-HUGE_VAL}). Returns true for the buffer that ends the measure.
bool hearRoom(RoomMeasure& room, const ToneReading& tone, const LevelRule& rule = LevelRule{});

// The sensitivity the measure asks for: roomMarginDb above the loudest line,
// within the sensitivity's range; the most sensitive when nothing was heard.
double roomSensitivity(const RoomMeasure& room);
