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
-- The houses' roofs are flat at this height; the nest sits on the middle one
-- on the east side.
local roofTop = 930
local houseMargin = 25
game.nest = {680, roofTop, 0}

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

    -- Houses, 1000 wide along the street, 600 deep and 900 high under a
    -- roof slab that ends at 930, their fronts to the road; two patterns of
    -- lit windows take turns. Their zones reach 25 past the walls (the roof
    -- overhangs 15), so that the insect, some 20 long, stays outside them.
    local houses = {"house.mesh", "house_b.mesh"}
    local m = houseMargin
    for i, z in ipairs({-1100, 0, 1100}) do
        solid("house_east_" .. i, houses[i % 2 + 1], 800, z, -pi / 2, 500 - m, z - 500 - m,
              600 + 2 * m, roofTop, 1000 + 2 * m)
        solid("house_west_" .. i, houses[(i + 1) % 2 + 1], -800, z, pi / 2, -1100 - m,
              z - 500 - m, 600 + 2 * m, roofTop, 1000 + 2 * m)
    end
    -- The flat roofs are where an insect can rest.
    create_landing_zone(roofTop, 500, -1600, 1100, 1600)
    create_landing_zone(roofTop, -1100, -1600, -500, 1600)

    -- Lamps on the kerb, their arms over the road; a post is 20 thick and
    -- 520 high. The ground has the pools of light under their heads, 140
    -- out, at these places along the street (a lamp put elsewhere brings
    -- its own: a "lamp_pool.mesh" object a little above the ground).
    for i, z in ipairs({-1200, -400, 400, 1200}) do
        solid("lamp_east_" .. i, "lamp.mesh", 330, z, -pi / 2, 320, z - 10, 20, 520, 20)
        solid("lamp_west_" .. i, "lamp.mesh", -330, z, pi / 2, -340, z - 10, 20, 520, 20)
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

    -- Blocks of flats all round, their fronts on the ground's edge beyond the
    -- houses and at both ends of the street, taller than the insect can fly
    -- (it never passes 1700), so that the street has no empty horizon.
    local blocks = {}
    for i = -3, 2 do
        table.insert(blocks, {i * 1000 + 500, 2300, 0})
        table.insert(blocks, {i * 1000 + 500, -2300, pi})
    end
    for i = -2, 1 do
        table.insert(blocks, {2300, i * 1000 + 500, -pi / 2})
        table.insert(blocks, {-2300, i * 1000 + 500, pi / 2})
    end
    for i, b in ipairs(blocks) do
        local name = "block_" .. i
        create_world_object(name, "tower.mesh")
        set_world_object_position(name, b[1], 0, b[2])
        yaw_world_object(name, b[3])
        set_world_object_scale(name, 1, 1 + 0.12 * (i % 3), 1)
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

    -- The nest on the middle east roof (on the left as the insect starts),
    -- near its front so that it shows from the street, in a pool of warm
    -- light; landing anywhere on that roof banks the blood. The display's
    -- marker leads there while the insect carries blood.
    local nest = game.nest
    create_world_object("nest", "nest.mesh")
    set_world_object_position("nest", nest[1], roofTop, nest[3])
    create_world_object("nest_light", "lamp_pool.mesh")
    set_world_object_scale("nest_light", 1.1, 1, 1.1)
    set_world_object_position("nest_light", nest[1], roofTop + 1, nest[3])
    create_landing_zone(roofTop, nest[1] - 150, nest[3] - 150, nest[1] + 150, nest[3] + 150)
    create_trigger("nest", 500 - houseMargin, roofTop - 10, -500 - houseMargin, 1100 + houseMargin,
                   roofTop + 200, 500 + houseMargin, "nest")
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

-- The round's score: the banked blood as a whole number the status line and
-- the best-score file can hold, whatever another script or a load put there.
function game.score()
    local banked = tonumber(game.banked) or 0
    if banked ~= banked or banked < 0 then
        return 0
    end
    return math.floor(math.min(banked, 999999999999999))
end

-- Writes the best score whole, then puts it in place; a failure costs one
-- line on standard error and leaves the old file as it was.
function game.recordBest()
    local score = game.score()
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
    local score = game.score()
    hud_status(string.format("Score %d   Health %d   Blood type %s   Best %d", score,
                             get_player_health(), get_player_bloodtype(),
                             math.max(score, game.best or 0)))
end

-- No health left: the round is over and its score is final.
function game.endRound()
    game.recordBest()
    local score = game.score()
    local text = string.format("Swatted! The round is over.\nScore %d   Best %d\nF3: new round",
                               score, math.max(score, game.best or 0))
    print((string.gsub(text, "\n", " ")))
    hud_message(text, math.huge)
end

-- Ends a person's slap: the gesture plays until their walk is restarted.
function game.endSlap(name)
    for _, p in ipairs(game.people) do
        if p.name == name then
            npc_stop_walking(name)
            npc_walk_towards(name, 0, 0, p.speed)
        end
    end
end

-- The guide of a first round: one step at a time at the bottom of the
-- screen, each going on to the next once it is done. It shows on a player's
-- first start only (Resources/guide_done remembers that it was done or
-- skipped); H skips it, and H shows it again from its first step.
game.guideFile = "Resources/guide_done"

-- Each step: what to do, how, and when it is done, given what the frame saw
-- (s.y height, s.rise height gained since the step began, s.moved distance
-- flown since it began, s.host the
-- person the insect holds on to, s.free seconds since it last held on to
-- anyone, s.blood, s.warned a slap warning shown, s.toNest the distance to
-- the nest, s.banked banks since the step began).
game.guideSteps = {
    -- A clear rise from wherever the step began (the insect may be flying
    -- already when H shows the guide again), or a height near the ceiling,
    -- where no such rise is left.
    {"Climb 1 m: the Y at the top left up by 100",
     "Whistle a high note, or hold the left button or Shift",
     function(s) return s.rise >= 100 or s.y > 1500 end},
    {"Fly to a person", "Climb with the cursor up to fly on; left or right turns",
     function(s) return s.moved > 250 or s.host end},
    {"Land on a person's head", "Come down onto them from just above",
     function(s) return s.host end},
    {"Drink", "Stay on: the blood meter on the right fills",
     function(s) return s.blood >= 30 or s.warned end},
    -- Let go without climbing, the insect drops back onto the person within
    -- a second: only a second away with the blood counts.
    {"Fly off before the slap",
     "Hold Shift (or whistle) 1 s, press Space, keep holding",
     function(s) return not s.host and s.free >= 1 and s.blood > 0 end},
    {"Fly to the nest", "Climb and follow the orange arrow to the lit roof",
     function(s) return s.toNest < 700 end},
    {"Land in the nest", "Come down on the roof: the blood is banked",
     function(s) return s.banked > 0 end},
}

local function showGuideStep()
    local step = game.guideSteps[game.guideStep]
    hud_guide(string.format("Guide %d/%d: %s\n%s\nH: skip the guide", game.guideStep,
                            #game.guideSteps, step[1], step[2]))
    local p = get_player_position()
    game.guideFrom = {p[1], p[3], p[2]}
    game.guideBanks = game.bankCount or 0
end

function game.startGuide()
    game.guideStep = 1
    game.guideDone = nil
    showGuideStep()
end

-- Marks the guide as done for this player: it will not show by itself again.
local function rememberGuide()
    local file = io.open(game.guideFile, "wb")
    if file then
        file:write("done\n")
        file:close()
    end
end

function game.startGuideOnce()
    local file = io.open(game.guideFile, "rb")
    if file then
        file:close()
    else
        game.startGuide()
    end
end

function game.skipGuide()
    game.guideStep = nil
    game.guideDone = nil
    hud_guide("")
    rememberGuide()
end

-- Once a frame while the guide shows: goes on when the step is done. A
-- carried load lost before it was banked sends the guide back to drinking.
function game.guideFrame(dt)
    if game.guideDone then
        game.guideDone = game.guideDone - dt
        if game.guideDone <= 0 then
            game.guideStep = nil
            game.guideDone = nil
            hud_guide("")
        end
        return
    end
    local p = get_player_position()
    local host = get_currently_sucked_npc()
    game.guideFree = host and 0 or (game.guideFree or 0) + dt
    local s = {
        y = p[2],
        rise = p[2] - (game.guideFrom[3] or p[2]),
        moved = math.sqrt((p[1] - game.guideFrom[1]) ^ 2 + (p[3] - game.guideFrom[2]) ^ 2),
        host = host,
        free = game.guideFree,
        blood = get_player_bloodlevel(),
        warned = host and game.warnedFor[host] ~= nil,
        toNest = math.sqrt((p[1] - game.nest[1]) ^ 2 + (p[2] - game.nest[2]) ^ 2 +
                           (p[3] - game.nest[3]) ^ 2),
        banked = (game.bankCount or 0) - game.guideBanks,
    }
    if game.guideStep >= 5 and s.blood <= 0 and s.banked <= 0 then
        game.guideStep = 2
        showGuideStep()
        return
    end
    -- A bank is the guide's last step, whichever step shows.
    if s.banked <= 0 and not game.guideSteps[game.guideStep][3](s) then
        return
    end
    if s.banked <= 0 and game.guideStep < #game.guideSteps then
        game.guideStep = game.guideStep + 1
        showGuideStep()
    else
        hud_guide("Well done: the blood is banked, and your score is up!\n" ..
                  "Drink and bank more before the slaps end the round\n" ..
                  "H shows the guide again")
        game.guideDone = 8
        rememberGuide()
    end
end

-- A new round keeps the score of the one before, if it was the best.
if game.built and game.banked then
    game.recordBest()
end

if not game.built then
    game.bestScoreFile = "Resources/best_score"
    game.best = readBest()
    buildStreet()
end

-- The player and the moods start over, the insect facing down the street
-- (+Z), with the nest's house on its left.
set_player_position(0, 10, 0)
set_player_heading(0)
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
-- A slap under way is called off, or its gesture would go on for ever.
for name in pairs(game.slapping or {}) do
    game.endSlap(name)
end
game.slapping = {}
game.warnedFor = {}
game.tooHeavy = false
game.banked = 0
game.proboscis = nil
game.over = false
hud_message("", 0)
-- A round that ended on a person's head starts there, at rest: the insect
-- stays on until it takes off, and neither drinks from nor annoys that
-- person until it has let go of them (frame_started).
game.restingOn = get_currently_sucked_npc()
if game.restingOn then
    local name = string.upper(string.sub(game.restingOn, 1, 1)) .. string.sub(game.restingOn, 2)
    hud_message("New round: you are still on " .. name .. ", who is calm.\n" ..
                "Hold Shift (or whistle) a second, press Space, keep holding", 4)
end
-- The marker shows the nest from the start until the first bank, then only
-- while blood is carried.
hud_goal(game.nest[1], game.nest[2] + 40, game.nest[3], not game.bankedOnce)
game.showStatus()
if game.guideStep and not game.guideDone then
    game.startGuide()
elseif game.guideStep == nil and not game.guideSeen then
    game.guideSeen = true
    game.startGuideOnce()
end
