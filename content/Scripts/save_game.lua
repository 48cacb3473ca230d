-- Saves the player's state to Resources/<args.file>.sav as "key value" lines.
-- Raised by F5 and when the game ends, with args.file "test".
local file = args.file or "test"
if not string.find(file, "^[%w_%-]+$") then
    print("Not saving: bad save name " .. file)
    return
end
local out, err = io.open("Resources/" .. file .. ".sav", "w")
if not out then
    print("Cannot save: " .. tostring(err))
    return
end
local p = get_player_position()
local lines = {
    string.format("position %.9g %.9g %.9g", p[1], p[2], p[3]),
    string.format("health %d", get_player_health()),
    string.format("bloodlevel %.17g", get_player_bloodlevel()),
    "bloodtype " .. get_player_bloodtype(),
    string.format("banked %.17g", game.banked or 0),
}
for _, name in ipairs(get_player_powerups()) do
    table.insert(lines, "powerup " .. name)
end
out:write(table.concat(lines, "\n"), "\n")
out:close()
