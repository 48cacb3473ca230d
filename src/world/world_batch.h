// World objects that keep still are drawn from one batch instead of one by
// one: the engine's static geometry, rebuilt whenever a batched object moves,
// turns, is scaled or is destroyed. Scripts see no difference: every object
// keeps its entity and node, and its functions read and write those; the
// entity is only hidden while the batch draws it.
//
// The batch also writes the depth of its solid objects before anything else
// is drawn (a copy of their geometry that draws no colour), so that the sky,
// drawn first, and whatever lies behind the street's fronts are not shaded
// where they cannot be seen. Main thread only.
#pragma once

struct WorldObject;

// Objects unchanged for this many frames join the batch.
constexpr int kStillFramesToBatch = 30;

// Once a frame, after the scripts and before drawing: notes which objects of
// the game's scene moved since the last call and rebuilds the batch when its
// contents change.
void batchStillWorldObjects();

// For world_objects.cpp: the object is going away.
void forgetBatchedObject(WorldObject& object);
// For world_objects.cpp: every object is going away, and the batch with them
// (destroyAllWorldObjects, which tests call before their scene goes away).
void releaseWorldBatch();

// How many objects the batch draws, and how many of them write the depth
// first (for tests).
int batchedWorldObjectCount();
int depthBatchedWorldObjectCount();
