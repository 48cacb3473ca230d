-- The game's rules, once per frame (kept to a few calls):
--  * attached to a person, the insect drinks: the blood level rises, twice as
--    fast from a person of the player's own blood type, up to 150;
--  * the person grows annoyed while it drinks; a warning shows past 1.5
--    seconds of it, and past 3 they slap; a slap that lands (the insect still
--    there 0.6 s later) costs a third of the health;
--  * at no health the round is over and nothing counts until F3;
--  * annoyance fades while nobody is drinking.
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

-- The first sip from a person is heard.
if victim and victim ~= game.drinkingFrom then
    play_sound("drink")
    game.warned = nil
end
game.drinkingFrom = victim

if victim then
    local level = get_player_bloodlevel()
    if level < 150 then
        local rate = npc_get_bloodtype(victim) == get_player_bloodtype() and 40 or 20
        if game.proboscis then
            rate = rate * 1.5
        end
        set_player_bloodlevel(math.min(150, level + rate * dt))
    end
    local annoyance = (npc_get_annoyancelevel(victim) or 0) + dt
    npc_set_annoyancelevel(victim, annoyance)
    if annoyance > 1.5 and annoyance <= 3 and game.warned ~= victim then
        game.warned = victim
        hud_message("About to be slapped! Press Space to get away", 1.5)
    end
    if annoyance > 3 and not game.slapping[victim] then
        npc_animate_slap(victim)
        game.slapping[victim] = 0.6
    end
end

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
        -- Back to walking: the slap plays until the walk is restarted.
        for _, p in ipairs(game.people) do
            if p.name == name then
                npc_stop_walking(name)
                npc_walk_towards(name, 0, 0, p.speed)
            end
        end
        npc_set_annoyancelevel(name, 1)
    end
end

-- Calm down slowly when left alone (one person per frame, in turn).
game.calmIndex = (game.calmIndex or 0) % #game.people + 1
local calm = game.people[game.calmIndex].name
if calm ~= victim then
    local annoyance = npc_get_annoyancelevel(calm) or 0
    if annoyance > 0 then
        npc_set_annoyancelevel(calm, math.max(0, annoyance - dt * #game.people * 0.5))
    end
end
