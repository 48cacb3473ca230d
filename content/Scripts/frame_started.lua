-- The game's rules, once per frame (kept to a few calls):
--  * attached to a person, the insect drinks: the blood level rises, twice as
--    fast from a person of the player's own blood type. Past 100 it slows,
--    down to a quarter at the climbing limit, and stops at 200;
--  * crossing the climbing limit says so: from 150 on even full thrust no
--    longer lifts the insect (the flight's lift at full thrust, level, is
--    10 * (1 - 0.5 * (1 + load / 150)), zero at 150; the blood meter marks
--    the same load);
--  * the person grows annoyed while it drinks: the annoyance level goes from
--    0 to 1 in 3 seconds (the display shows it as a bar over them). At 1 they
--    slap, but only once a warning, a message and a sound, has come at least
--    a second before; it comes at 0.5, and again for every slap. A slap that
--    lands (the insect still there 0.6 s later) costs a third of the health,
--    and the person calms down to a third;
--  * at no health the round is over and nothing counts until F3; a round
--    that starts on a head leaves that person alone until the insect lets go;
--  * annoyance fades while nobody is drinking.
local slapSeconds = 3
local warnAt = 0.5
local warnAhead = 1
local climbLimit = 150
local slowFrom = 100
local mostBlood = 200
-- The right button drops the blood only in flight; held down as Space lets
-- go, it drops it in that same frame.
local dropAndFlee = "Hold Shift and the right button, then press Space"
local tooHeavyToFlee = "About to be slapped, and too heavy to climb away!\n" .. dropAndFlee

if not game.people then
    return
end

-- The round ends the moment the health is gone, however it went (a slap, a
-- load, another script); a load with health back starts it again.
local over = get_player_health() <= 0
if over ~= game.over then
    game.over = over
    if over then
        set_player_bloodlevel(0)
        game.endRound()
    else
        hud_message("", 0)
    end
end
game.showStatus()
if over then
    return
end

local dt = get_time_since_last_frame()
local victim = get_currently_sucked_npc()
-- A round that starts on a head starts at rest (new_game): that person is
-- left alone, neither drunk from nor annoyed, until the insect lets go.
if victim ~= game.restingOn then
    if game.restingOn then
        -- Off that head: the new round's note about it is done with.
        hud_message("", 0)
    end
    game.restingOn = nil
elseif victim then
    victim = nil
end

-- The first sip from a person is heard; a returning insect is warned anew.
if victim and victim ~= game.drinkingFrom then
    play_sound("drink")
    game.warnedFor[victim] = nil
end
game.drinkingFrom = victim

if victim then
    local level = get_player_bloodlevel()
    if level < mostBlood then
        local rate = npc_get_bloodtype(victim) == get_player_bloodtype() and 40 or 20
        if game.proboscis then
            rate = rate * 1.5
        end
        -- Slower as the load nears the climbing limit.
        if level > slowFrom then
            rate = rate * (1 - 0.75 * math.min(1, (level - slowFrom) / (climbLimit - slowFrom)))
        end
        set_player_bloodlevel(math.min(mostBlood, level + rate * dt))
    end
    local annoyance = math.min(1, (npc_get_annoyancelevel(victim) or 0) + dt / slapSeconds)
    npc_set_annoyancelevel(victim, annoyance)
    local warned = game.warnedFor[victim]
    if warned then
        warned = warned + dt
        game.warnedFor[victim] = warned
    elseif annoyance >= warnAt and not game.slapping[victim] then
        game.warnedFor[victim] = 0
        play_sound("warning")
        if get_player_bloodlevel() >= climbLimit then
            hud_message(tooHeavyToFlee, 2)
        else
            hud_message("About to be slapped! Press Space to get away\n" ..
                        "while you climb: hold Shift or the left button, or whistle", 1.5)
        end
    end
    if annoyance >= 1 and warned and warned >= warnAhead and not game.slapping[victim] then
        npc_animate_slap(victim)
        game.slapping[victim] = 0.6
    end
end

local heavy = get_player_bloodlevel() >= climbLimit
if heavy and not game.tooHeavy then
    -- With a slap coming, the way out comes first.
    if victim and game.warnedFor[victim] then
        hud_message(tooHeavyToFlee, 2)
    else
        hud_message("Too heavy to climb: drop the blood to fly off.\n" .. dropAndFlee, 4)
    end
end
game.tooHeavy = heavy

for name, left in pairs(game.slapping) do
    left = left - dt
    if left > 0 then
        game.slapping[name] = left
    else
        game.slapping[name] = nil
        if get_currently_sucked_npc() == name then
            play_sound("slap")
            local health = math.max(0, get_player_health() - 34)
            set_player_health(health)
            if health > 0 then
                print("Slap! Health " .. health .. ". Press Space to get away.")
                hud_message("Slap! Health " .. health, 2)
            end
        end
        game.endSlap(name)
        npc_set_annoyancelevel(name, 1 / slapSeconds)
        game.warnedFor[name] = nil
    end
end

-- Calm down slowly when left alone (one person per frame, in turn).
game.calmIndex = (game.calmIndex or 0) % #game.people + 1
local calm = game.people[game.calmIndex].name
if calm ~= victim then
    local annoyance = npc_get_annoyancelevel(calm) or 0
    if annoyance > 0 then
        npc_set_annoyancelevel(calm, math.max(0, annoyance - dt * #game.people * 0.5 / slapSeconds))
    end
end

if game.guideStep then
    game.guideFrame(dt)
end
