-- Loads what save_game.lua wrote to Resources/<args.file>.sav (F8). Lines it
-- does not understand, and numbers that are not finite, are skipped.
local file = args.file or "test"
if not string.find(file, "^[%w_%-]+$") then
    print("Not loading: bad save name " .. file)
    return
end
local input = io.open("Resources/" .. file .. ".sav", "r")
if not input then
    print("No saved game " .. file)
    return
end

local function finite(text)
    local n = tonumber(text)
    if n and n > -1e30 and n < 1e30 then
        return n
    end
end

local powerups = {}
for line in input:lines() do
    local key, rest = string.match(line, "^(%a+) (.*)$")
    if key == "position" then
        local x, y, z = string.match(rest, "^(%S+) (%S+) (%S+)$")
        x, y, z = finite(x), finite(y), finite(z)
        if x and y and z then
            set_player_position(x, y, z)
        end
    elseif key == "health" and finite(rest) then
        set_player_health(finite(rest))
    elseif key == "bloodlevel" and finite(rest) then
        set_player_bloodlevel(finite(rest))
    elseif key == "bloodtype" and (rest == "0" or rest == "A" or rest == "B" or rest == "AB") then
        set_player_bloodtype(rest)
    elseif key == "banked" and finite(rest) then
        game.banked = finite(rest)
    elseif key == "powerup" and rest ~= "" then
        table.insert(powerups, rest)
    end
end
input:close()

for _, name in ipairs(get_player_powerups()) do
    unregister_player_powerup(name)
end
game.proboscis = nil
for _, name in ipairs(powerups) do
    register_player_powerup(name)
    if name == "proboscis" then
        game.proboscis = true
    end
end
