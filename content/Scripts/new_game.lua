-- Sets up a new game: a street at night, 4000 by 4000, with a road along Z
-- (|x| < 300) between pavements, houses on both sides, lamps, crates and
-- people walking up and down. The insect starts at (0, 10, 0) in the middle
-- of the road.
--
-- The street is built once; F3 raises this script again, and then only the
-- player and the people's moods start over (objects, zones and people outlive
-- a new game).
--
-- The rules (frame_started.lua): land on a person to drink (the blood makes
-- the insect heavy), fly the blood to the nest on the roof of the middle
-- house on the east side to bank it, and get away before the person slaps.
-- A round ends when the slaps have taken all the health; the banked blood is
-- its score, and the best score is kept in Resources/best_score (beside the
-- saves, in the player's own folder).

local pi = math.pi

-- A solid prop: the world object and a collision zone around it. Zones start
-- below the ground: a walking person's feet are probed just under it.
local function solid(name, mesh, x, z, yaw, minX, minZ, sizeX, height, sizeZ)
    create_world_object(name, mesh)
    set_world_object_position(name, x, 0, z)
    if yaw ~= 0 then
        yaw_world_object(name, yaw)
    end
    add_collision_zone(name, minX, -50, minZ, sizeX, height + 50, sizeZ, 0)
end

local function buildStreet()
    -- The ground lies a little below the plane that everything stands on, so
    -- that an eye resting at height 0 still sees it below the horizon.
    create_world_object("ground", "ground.mesh")
    set_world_object_position("ground", 0, -2, 0)

    -- Houses, 1000 wide along the street, 600 deep and 900 high, their
    -- fronts to the road; two patterns of lit windows take turns.
    local houses = {"house.mesh", "house_b.mesh"}
    for i, z in ipairs({-1100, 0, 1100}) do
        solid("house_east_" .. i, houses[i % 2 + 1], 800, z, -pi / 2, 500, z - 500, 600, 900, 1000)
        solid("house_west_" .. i, houses[(i + 1) % 2 + 1], -800, z, pi / 2, -1100, z - 500, 600,
              900, 1000)
    end
    -- The flat roofs are where an insect can rest.
    create_landing_zone(900, 500, -1600, 1100, 1600)
    create_landing_zone(900, -1100, -1600, -500, 1600)

    -- Lamps on the kerb, their arms over the road; a post is 20 thick and
    -- 520 high. Each throws a pool of light under its head, 140 out.
    for i, z in ipairs({-1200, -400, 400, 1200}) do
        solid("lamp_east_" .. i, "lamp.mesh", 330, z, -pi / 2, 320, z - 10, 20, 520, 20)
        solid("lamp_west_" .. i, "lamp.mesh", -330, z, pi / 2, -340, z - 10, 20, 520, 20)
        create_world_object("lamp_pool_east_" .. i, "lamp_pool.mesh")
        set_world_object_position("lamp_pool_east_" .. i, 190, -1, z)
        create_world_object("lamp_pool_west_" .. i, "lamp_pool.mesh")
        set_world_object_position("lamp_pool_west_" .. i, -190, -1, z)
    end

    -- Crates stacked on the pavements (80 on a side) and a few big boxes.
    local crates = {{420, -800, 0}, {420, -720, 0}, {420, -800, 80}, {-420, 700, 0},
                    {-420, 780, 0}, {-420, 1500, 0}, {420, 1550, 0}}
    for i, c in ipairs(crates) do
        local name = "crate_" .. i
        create_world_object(name, "crate.mesh")
        set_world_object_scale(name, 100, 100, 100)
        set_world_object_position(name, c[1], c[3], c[2])
        add_collision_zone(name, c[1] - 40, -50, c[2] - 40, 80, c[3] + 130, 80, 0)
    end
    for i, b in ipairs({{-200, -1750}, {200, 1800}}) do
        local name = "box_" .. i
        create_world_object(name, "box.mesh")
        set_world_object_scale(name, 150, 150, 150)
        set_world_object_position(name, b[1], 0, b[2])
        add_collision_zone(name, b[1] - 75, -50, b[2] - 75, 150, 200, 150, 0)
    end

    -- Invisible walls where the street ends, so nobody walks or flies off it.
    add_collision_zone("edge_north", -2000, -50, 1950, 4000, 3050, 100, 0)
    add_collision_zone("edge_south", -2000, -50, -2050, 4000, 3050, 100, 0)
    add_collision_zone("edge_east", 1950, -50, -2000, 100, 3050, 4000, 0)
    add_collision_zone("edge_west", -2050, -50, -2000, 100, 3050, 4000, 0)

    -- People, one to a lane (lanes at least 60 apart, so that they never
    -- stop each other), walking along the street at 50 to 90 a second. Small
    -- people have bodies made for the small scale, feet on the ground.
    game.people = {
        {name = "anna", mesh = "woman.mesh", blood = "A", x = -450, z = -300, speed = 60},
        {name = "bert", mesh = "man.mesh", blood = "0", x = -370, z = 900, speed = -80},
        {name = "cecil", mesh = "man.mesh", blood = "B", x = -150, z = -1400, speed = 70},
        {name = "dora", mesh = "woman_small.mesh", blood = "AB", x = -60, z = 1300, speed = -50, small = true},
        {name = "emil", mesh = "man.mesh", blood = "A", x = 60, z = 600, speed = 90},
        {name = "frida", mesh = "woman.mesh", blood = "0", x = 150, z = -600, speed = -60},
        {name = "gustav", mesh = "man.mesh", blood = "B", x = 370, z = 200, speed = 75},
        {name = "hana", mesh = "woman_small.mesh", blood = "A", x = 450, z = -1100, speed = -65, small = true},
    }
    for _, p in ipairs(game.people) do
        npc_create(p.name, p.mesh, p.blood, p.small)
        npc_set_position(p.name, p.x, 115, p.z)
        npc_walk_towards(p.name, 0, 0, p.speed)
    end

    -- The nest on the middle east roof (on the left as the insect starts)
    -- banks the blood; a welcome at the start.
    create_trigger("nest", 550, 890, -450, 1050, 1100, 450, "nest")
    set_trigger_autorepeat("nest", false)
    create_trigger("welcome", -150, -10, -150, 150, 300, 150, "welcome")
    set_trigger_autorepeat("welcome", false)

    game.built = true
end

-- The best score of all rounds, from Resources/best_score: 0 when there is
-- none, or when the file holds no whole number of at most 15 digits (all of
-- them exact in a Lua number). Opened for reading and writing, which unlike
-- reading alone never waits on a FIFO, whose seek then fails.
local function readBest()
    local file = io.open(game.bestScoreFile, "r+b") or io.open(game.bestScoreFile, "rb")
    if not file then
        return 0
    end
    local text = file:seek("end") and file:seek("set") and file:read(64)
    file:close()
    local digits = string.match(text or "", "^%s*(%d+)%s*$")
    if not digits or #digits > 15 then
        return 0
    end
    return tonumber(digits)
end

-- A temporary file of this writer's own, as save_game.lua makes them: the
-- process id and a counter in its name, created only where no file of that
-- name exists. Returns the file (or nil), its name and the reason.
local function createTemporary(path)
    local stat = io.open("/proc/self/stat", "rb")
    local pid = stat and stat:read("*n") or 0
    if stat then
        stat:close()
    end
    local name, out, err, code
    for count = 1, 100 do
        name = string.format("%s.%d-%d.new", path, pid, count)
        out, err, code = io.open(name, "wbx")
        if out or code ~= 17 then -- 17: EEXIST, the name is taken
            break
        end
    end
    return out, name, err
end

-- Writes the best score whole, then puts it in place; a failure costs one
-- line on standard error and leaves the old file as it was.
function game.recordBest()
    local score = math.floor(game.banked or 0)
    if score <= (game.best or 0) then
        return
    end
    game.best = score
    local out, temporary, err = createTemporary(game.bestScoreFile)
    local written, flushed, closed, closeError
    if out then
        written, err = out:write(string.format("%d\n", score))
        if written then
            flushed, err = out:flush()
        end
        closed, closeError = out:close()
        err = err or closeError
    end
    local renamed = out and written and flushed and closed
    if renamed then
        renamed, err = os.rename(temporary, game.bestScoreFile)
    end
    if not renamed then
        os.remove(temporary)
        io.stderr:write("Best score not kept in ", game.bestScoreFile, ": ", tostring(err), "\n")
    end
end

-- The status line at the top: the score, the health, the blood type, and
-- the best score to beat.
function game.showStatus()
    local score = math.floor(game.banked or 0)
    hud_status(string.format("Score %d   Health %d   Blood type %s   Best %d", score,
                             get_player_health(), get_player_bloodtype(),
                             math.max(score, game.best or 0)))
end

-- No health left: the round is over and its score is final.
function game.endRound()
    game.recordBest()
    local score = math.floor(game.banked or 0)
    local text = string.format("Swatted! The round is over.\nScore %d   Best %d\nF3: new round",
                               score, math.max(score, game.best or 0))
    print((string.gsub(text, "\n", " ")))
    hud_message(text, math.huge)
end

if not game.built then
    game.bestScoreFile = "Resources/best_score"
    game.best = readBest()
    buildStreet()
end

-- The player and the moods start over.
set_player_position(0, 10, 0)
set_player_speed(0, 0, 0)
set_player_health(100)
set_player_bloodlevel(0)
set_player_bloodtype("A")
for _, name in ipairs(get_player_powerups()) do
    unregister_player_powerup(name)
end
for _, p in ipairs(game.people) do
    npc_set_annoyancelevel(p.name, 0)
end
game.slapping = {}
game.banked = 0
game.proboscis = nil
game.over = false
game.warned = nil
hud_message("", 0)
game.showStatus()
