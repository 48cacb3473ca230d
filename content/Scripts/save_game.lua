-- Saves the player's state to Resources/<args.file>.sav (F5, and "test" when
-- the game ends). The format is "key value" lines between a version line and
-- an "end" line; load_game.lua reads it.
--
-- The save is written whole to a temporary file beside the old one, checked,
-- and only then renamed over it. A crash, a full disk or a read-only folder
-- therefore never leaves a broken save behind: the previous one stays as it
-- was, and one line on standard error says why nothing was saved.
-- The game saves on the way out too (Escape, Q, closing the window): keep
-- the round's score if it is the best.
if game.recordBest then
    game.recordBest()
end

local file = args.file or "test"
if not string.find(file, "^[%w_%-]+$") then
    print("Not saving: bad save name " .. file)
    return
end
local path = "Resources/" .. file .. ".sav"
local temporary = path .. ".new"

local function refuse(reason)
    os.remove(temporary)
    io.stderr:write("Not saved to ", path, ": ", tostring(reason), "; the previous save is kept\n")
end

local p = get_player_position()
local lines = {
    "nightbite-save 1",
    string.format("position %.9g %.9g %.9g", p[1], p[2], p[3]),
    string.format("health %d", get_player_health()),
    string.format("bloodlevel %.17g", get_player_bloodlevel()),
    "bloodtype " .. get_player_bloodtype(),
    string.format("banked %.17g", game.banked or 0),
}
for _, name in ipairs(get_player_powerups()) do
    table.insert(lines, "powerup " .. name)
end
table.insert(lines, "end")

local out, err = io.open(temporary, "wb")
if not out then
    return refuse(err)
end
-- Buffered writes fail late, so the flush and the close are checked too.
local written, writeError = out:write(table.concat(lines, "\n"), "\n")
local flushed, flushError = out:flush()
local closed, closeError = out:close()
if not (written and flushed and closed) then
    return refuse(writeError or flushError or closeError)
end
local renamed, renameError = os.rename(temporary, path)
if not renamed then
    return refuse(renameError)
end
