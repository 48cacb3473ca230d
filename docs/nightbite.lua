---@meta
-- Nightbite's script functions and globals, for editors that read
-- lua-language-server annotations: completion, hover help and checks while
-- writing the scripts of Resources/Scripts. Nothing here runs: the game
-- defines all of it itself. docs/scripting.md is the reference; this file
-- follows its order and its parameter names, and a test keeps the two in step.

---@alias nightbite.BloodType "0"|"A"|"B"|"AB"

---A vector `{x, y, z}` (keys 1 to 3), a new table each time. Y is up.
---@alias nightbite.Vector number[]

---Nine numbers: the local X, Y and Z axes in world coordinates, one after the other.
---@alias nightbite.Orientation number[]

---The event's arguments, as strings: a new table for every run of a script.
---@class nightbite.Args
---@field file? string `save_game` and `load_game`: the save's name, `"test"`
---@field trigger? string a trigger's script: the trigger's name
---@field [string] string

---The running event's arguments; empty for `new_game` and `frame_started`.
---@type nightbite.Args
args = {}

---The scripts' own place for game state. It starts empty; the program never touches it again.
---@type table
game = {}

-- World objects

---Creates a prop showing `mesh` at the origin. Errors when 512 exist or the engine refuses it.
---@param name string
---@param mesh string a mesh file name, such as `"bench.mesh"`
function create_world_object(name, mesh) end

---Removes the first object of that name.
---@param name string
function destroy_world_object(name) end

---Places the object; each coordinate is clamped to ±10,000,000.
---@param name string
---@param x number
---@param y number
---@param z number
function set_world_object_position(name, x, y, z) end

---Turns the object so that its local X, Y and Z axes point along the three vectors.
---@param name string
---@param xx number
---@param xy number
---@param xz number
---@param yx number
---@param yy number
---@param yz number
---@param zx number
---@param zy number
---@param zz number
function set_world_object_orientation(name, xx, xy, xz, yx, yy, yz, zx, zy, zz) end

---Sets the object's scale along its own axes (1 is the mesh's own size).
---@param name string
---@param sx number
---@param sy number
---@param sz number
function set_world_object_scale(name, sx, sy, sz) end

---Multiplies the scale so that the mesh box measures the given sizes.
---@param name string
---@param sizex number
---@param sizey number
---@param sizez number
function set_world_object_scale_bbox(name, sizex, sizey, sizez) end

---The names of all world objects, in slot order.
---@return string[]
function get_all_world_objects() end

---The mesh given at creation; nil for an unknown name.
---@param name string
---@return string|nil
function get_world_object_mesh(name) end

---The object's orientation; nil for an unknown name.
---@param name string
---@return nightbite.Orientation|nil
function get_world_object_orientation(name) end

---The object's scale; nil for an unknown name.
---@param name string
---@return nightbite.Vector|nil
function get_world_object_scale(name) end

---The object's position; nil for an unknown name.
---@param name string
---@return nightbite.Vector|nil
function get_world_object_position(name) end

---The size of the mesh's box in the mesh's own units; nil for an unknown name.
---@param name string
---@return nightbite.Vector|nil
function get_world_object_bbox(name) end

---The object's collision flag; nil for an unknown name.
---@param name string
---@return boolean|nil
function get_world_object_bbox_collisions(name) end

---Stores the collision flag (Lua truth). The program itself never uses it.
---@param name string
---@param flag any
function set_world_object_bbox_collisions(name, flag) end

---Turns the object by `angle` radians about its own Y axis.
---@param name string
---@param angle number
function yaw_world_object(name, angle) end

---Turns the object by `angle` radians about its own Z axis.
---@param name string
---@param angle number
function roll_world_object(name, angle) end

---Turns the object by `angle` radians about its own X axis.
---@param name string
---@param angle number
function pitch_world_object(name, angle) end

-- Collision zones

---Returns no value at all: zones cannot be listed.
function get_collision_zones() end

---Adds a box that the player and the people cannot enter, turned by `angle` radians about the
---vertical through its origin; replaces a zone of the same name.
---@param name string
---@param x number
---@param y number
---@param z number
---@param sizex number
---@param sizey number
---@param sizez number
---@param angle number
function add_collision_zone(name, x, y, z, sizex, sizey, sizez, angle) end

---Removes the zone of that name.
---@param name string
function remove_collision_zone(name) end

-- Landing zones

---Registers a rectangle and returns its id, the lowest free number from 1 to 127.
---@param height number
---@param x1 number
---@param z1 number
---@param x2 number
---@param z2 number
---@return integer id
function create_landing_zone(height, x1, z1, x2, z2) end

---Frees the id (truncated toward zero). Errors for an id outside 1 to 127 or not in use.
---@param id number
function destroy_landing_zone(id) end

-- Triggers

---Creates a trigger that runs the script `script` while the player is inside the box.
---@param name string
---@param minx number
---@param miny number
---@param minz number
---@param maxx number
---@param maxy number
---@param maxz number
---@param script string the script's name, without ".lua"
function create_trigger(name, minx, miny, minz, maxx, maxy, maxz, script) end

---Destroys the first trigger of that name.
---@param name string
function destroy_trigger(name) end

---Whether a trigger of that name exists.
---@param name string
---@return boolean
function trigger_exists(name) end

---The names of all triggers, in slot order.
---@return string[]
function get_all_triggers() end

---`{minx, miny, minz, maxx, maxy, maxz}`; nil for an unknown name.
---@param name string
---@return number[]|nil
function get_trigger_bbox(name) end

---The name of the trigger's script. Errors for an unknown name.
---@param name string
---@return string
function get_trigger_script(name) end

---The trigger's autorepeat flag. Errors for an unknown name.
---@param name string
---@return boolean
function get_trigger_autorepeat(name) end

---Sets autorepeat (Lua truth). Errors for an unknown name.
---@param name string
---@param flag any
function set_trigger_autorepeat(name, flag) end

-- Time

---Seconds between the previous frame and the current one; 0 before the first frame.
---@return number
function get_time_since_last_frame() end

-- The player

---The insect's world position.
---@return nightbite.Vector
function get_player_position() end

---Puts the insect at (x, y, z), each clamped to ±10,000,000, without collision.
---@param x number
---@param y number
---@param z number
function set_player_position(x, y, z) end

---`{forward, vertical, side}`.
---@return number[]
function get_player_speed() end

---Sets the speed; the next flight update limits forward to -2..6.
---@param forward number
---@param vertical number
---@param side number
function set_player_speed(forward, vertical, side) end

---The insect's orientation.
---@return nightbite.Orientation
function get_player_orientation() end

---Sets the insect's orientation from its three axes.
---@param xx number
---@param xy number
---@param xz number
---@param yx number
---@param yy number
---@param yz number
---@param zx number
---@param zy number
---@param zz number
function set_player_orientation(xx, xy, xz, yx, yy, yz, zx, zy, zz) end

---Turns the insect to face and fly along a heading, in radians about the vertical (0 is +Z, the
---heading at start; pi/2 is +X). Pitch and bank stay; the flight travels the new way from the next
---frame on.
---@param angle number
function set_player_heading(angle) end

---The health.
---@return integer
function get_player_health() end

---Sets the health, truncated toward zero.
---@param value number
function set_player_health(value) end

---The thrust, 0 to 1.
---@return number
function get_player_thrust() end

---Sets the thrust, limited to 0..1, until the next frame takes it from the microphone.
---@param value number
function set_player_thrust(value) end

---The player's blood type.
---@return nightbite.BloodType
function get_player_bloodtype() end

---Sets the blood type. Errors for any other string.
---@param type nightbite.BloodType
function set_player_bloodtype(type) end

---The amount of blood the insect carries.
---@return number
function get_player_bloodlevel() end

---Sets the blood level (not limited).
---@param value number
function set_player_bloodlevel(value) end

---The names of the player's power-ups, in slot order.
---@return string[]
function get_player_powerups() end

---Gives the player a power-up. Errors when the player holds 32.
---@param name string
function register_player_powerup(name) end

---Removes the first power-up of that name.
---@param name string
function unregister_player_powerup(name) end

---The person the insect drinks from, or nil while it flies free.
---@return string|nil
function get_currently_sucked_npc() end

-- People

---Creates a person at the origin. Use `man_small.mesh` or `woman_small.mesh` with `small`.
---@param name string
---@param mesh string
---@param bloodtype string `"0"`, `"A"`, `"B"` or `"AB"`; anything else counts as `"0"`
---@param small any
function npc_create(name, mesh, bloodtype, small) end

---Sets the walking velocity in units per second; below 30 on every axis the person stops.
---@param name string
---@param vx number
---@param vy number
---@param vz number
function npc_walk_towards(name, vx, vy, vz) end

---Puts the person at (x, y, z), pushed out of collision zones.
---@param name string
---@param x number
---@param y number
---@param z number
function npc_set_position(name, x, y, z) end

---Restarts the `step` animation.
---@param name string
function npc_start_walking(name) end

---Stops the person and its animations.
---@param name string
function npc_stop_walking(name) end

---Plays the `slap` animation, looping until `npc_stop_walking`.
---@param name string
function npc_animate_slap(name) end

---Plays the `aftersuck` animation, looping until `npc_stop_walking`.
---@param name string
function npc_animate_aftersuck(name) end

---The person's blood type; nil for an unknown name.
---@param name string
---@return nightbite.BloodType|nil
function npc_get_bloodtype(name) end

---Sets the blood type (anything but the four counts as `"0"`).
---@param name string
---@param bloodtype string
function npc_set_bloodtype(name, bloodtype) end

---The person's annoyance level; nil for an unknown name.
---@param name string
---@return number|nil
function npc_get_annoyancelevel(name) end

---Stores the annoyance level (not limited).
---@param name string
---@param level number
function npc_set_annoyancelevel(name, level) end

-- Sound

---Plays an effect once, beside the ambience.
---@param name "slap"|"drink"|"bank"|"warning"
function play_sound(name) end

-- On-screen text

---Sets the status line at the top of the screen (one line, at most 72 characters); `""` clears it.
---@param text string|number
function hud_status(text) end

---Shows a message in the middle of the screen for `seconds` of game time (up to 4 lines of at
---most 60 characters); `math.huge` keeps it until the next message, `""` clears it.
---@param text string|number
---@param seconds number
function hud_message(text, seconds) end

---Shows the guide at the bottom left: up to 3 lines (split at "\n") of at most 56 characters. It
---stays until changed; `""` hides it.
---@param text string|number
function hud_guide(text) end

---The point the display's marker leads to while the insect carries blood (at all times when
---always is true); with no arguments the marker is taken away.
---@param x? number
---@param y? number
---@param z? number
---@param always? boolean
function hud_goal(x, y, z, always) end
