// The script functions: the sixty in their fixed registration order and the
// later ones after them, each a global function of a new state.
#include "script/script_api.h"
#include "script/script_host.h"

#include <gtest/gtest.h>
#include <lua.hpp>

#include <string>
#include <vector>

namespace {

const char* const kRegistrationOrder[] = {
    "create_world_object", "destroy_world_object", "set_world_object_position",
    "set_world_object_orientation", "set_world_object_scale", "set_world_object_scale_bbox",
    "get_all_world_objects", "get_world_object_mesh", "get_world_object_orientation",
    "get_world_object_scale", "get_world_object_position", "get_world_object_bbox",
    "get_world_object_bbox_collisions", "set_world_object_bbox_collisions", "get_collision_zones",
    "add_collision_zone", "remove_collision_zone", "create_landing_zone", "destroy_landing_zone",
    "yaw_world_object", "roll_world_object", "pitch_world_object", "create_trigger",
    "destroy_trigger", "trigger_exists", "get_all_triggers", "get_trigger_bbox",
    "get_trigger_script", "get_trigger_autorepeat", "set_trigger_autorepeat",
    "get_time_since_last_frame", "get_player_position", "set_player_position",
    "get_player_speed", "set_player_speed", "get_player_orientation", "set_player_orientation",
    "get_player_health", "set_player_health", "get_player_thrust", "set_player_thrust",
    "get_player_bloodtype", "set_player_bloodtype", "get_player_bloodlevel",
    "set_player_bloodlevel", "get_player_powerups", "register_player_powerup",
    "unregister_player_powerup", "get_currently_sucked_npc", "npc_create", "npc_walk_towards",
    "npc_set_position", "npc_start_walking", "npc_stop_walking", "npc_animate_slap",
    "npc_animate_aftersuck", "npc_get_bloodtype", "npc_set_bloodtype", "npc_get_annoyancelevel",
    "npc_set_annoyancelevel",
};

std::vector<std::string> registeredNames() {
    std::vector<std::string> names;
    for (const luaL_Reg* const* table = scriptFunctionTables; *table; ++table)
        for (const luaL_Reg* f = *table; f->name; ++f) {
            EXPECT_NE(f->func, nullptr) << f->name;
            names.push_back(f->name);
        }
    return names;
}

// Later functions come after the sixty and never move them.
TEST(ScriptApi, SixtyFunctionsInTheFixedOrderThenTheLaterOnes) {
    std::vector<std::string> expected(std::begin(kRegistrationOrder), std::end(kRegistrationOrder));
    ASSERT_EQ(expected.size(), 60u);
    for (const char* later :
         {"play_sound", "hud_message", "hud_status", "hud_guide", "hud_goal", "set_player_heading"})
        expected.push_back(later);
    EXPECT_EQ(registeredNames(), expected);
}

TEST(ScriptApi, EveryFunctionIsAGlobalOfANewStateAndGameIsEmpty) {
    lua_State* L = createLuaState();
    for (const char* name : kRegistrationOrder) {
        lua_getglobal(L, name);
        EXPECT_EQ(lua_type(L, -1), LUA_TFUNCTION) << name;
        EXPECT_TRUE(lua_iscfunction(L, -1)) << name;
        lua_pop(L, 1);
    }
    lua_getglobal(L, "game");
    ASSERT_TRUE(lua_istable(L, -1));
    lua_pushnil(L);
    EXPECT_EQ(lua_next(L, -2), 0) << "game is not empty";
    lua_pop(L, 1);
    lua_close(L);
}

} // namespace
