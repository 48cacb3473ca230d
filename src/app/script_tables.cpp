// The one place that knows every subsystem's script functions.
#include "audio/sound_output.h"
#include "hud/hud.h"
#include "hud/script_aids.h"
#include "npc/npc.h"
#include "player/player.h"
#include "script/script_api.h"
#include "world/world_script.h"

// The fixed registration order: each subsystem's table in turn. Functions
// added later go in tables after the first sixty, which keep their places.
const luaL_Reg* const scriptFunctionTables[] = {
    worldObjectFunctions,
    zoneFunctions,
    worldObjectTurnFunctions,
    triggerFunctions,
    hostFunctions,
    playerFunctions,
    npcFunctions,
    soundFunctions,
    hudFunctions,
    hudAidFunctions,
    playerHeadingFunctions,
    nullptr,
};
