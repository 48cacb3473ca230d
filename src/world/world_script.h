// The script functions of the world (world_script.cpp), one luaL_Reg table
// per group in the order the registration list walks them
// (app/script_tables.cpp).
#pragma once

struct luaL_Reg;

extern const luaL_Reg
    worldObjectFunctions[];            // create_world_object .. set_world_object_bbox_collisions
extern const luaL_Reg zoneFunctions[]; // get_collision_zones .. destroy_landing_zone
extern const luaL_Reg
    worldObjectTurnFunctions[];           // yaw_world_object, roll_world_object, pitch_world_object
extern const luaL_Reg triggerFunctions[]; // create_trigger .. set_trigger_autorepeat
