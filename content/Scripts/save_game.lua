-- Saves the player's state to Resources/<args.file>.sav (F5, and "test" when
-- the game ends). The format is "key value" lines between a version line and
-- an "end" line; load_game.lua reads it.
--
-- The save is written whole to a temporary file beside the old one, checked,
-- and only then renamed over it. A crash, a full disk or a read-only folder
-- therefore never leaves a broken save behind: the previous one stays as it
-- was, and one line on standard error says why nothing was saved.
--
-- Nothing is written that load_game.lua would refuse: a number it would not
-- read is saved as the nearest one it reads, and a powerup whose name would
-- not read back is left out, each with one line on standard error.
-- The game saves on the way out too (Escape, Q, closing the window): keep
-- the round's score if it is the best.
if game.recordBest then
    game.recordBest()
end

-- A word on the display too (F5 shows nothing else), but never over the
-- message of a round that is over, which says how to go on.
local function tell(text, seconds)
    if not game.over then
        hud_message(text, seconds)
    end
end

local file = args.file or "test"
if not string.find(file, "^[%w_%-]+$") then
    print("Not saving: bad save name " .. file)
    tell("Not saved: bad save name " .. file, 4)
    return
end
local path = "Resources/" .. file .. ".sav"
local temporary

local function refuse(reason)
    if temporary then
        os.remove(temporary)
    end
    io.stderr:write("Not saved to ", path, ": ", tostring(reason), "; the previous save is kept\n")
    tell("Not saved: " .. tostring(reason) .. "\nThe previous save is kept", 4)
end

-- The temporary file is this writer's own: two games saving in one folder
-- must never write into one file, nor rename the other's away. Its name
-- holds the process id and a counter, and it is only created where no file
-- of that name exists yet ("x"), so neither a game of the same number
-- elsewhere (another machine on a shared folder) nor a file left by a crash
-- is ever shared; on such a name the counter moves on.
local function createTemporary()
    local stat = io.open("/proc/self/stat", "rb")
    local pid = stat and stat:read("*n") or 0
    if stat then
        stat:close()
    end
    local out, err, code
    for count = 1, 100 do
        temporary = string.format("%s.%d-%d.new", path, pid, count)
        out, err, code = io.open(temporary, "wbx")
        if out or code ~= 17 then -- 17: EEXIST, the name is taken
            break
        end
    end
    if not out then
        temporary = nil
    end
    return out, err
end

-- The loader reads numbers strictly between -1e30 and 1e30.
local function saveable(what, value)
    local n = tonumber(value) or 0
    local kept = n ~= n and 0 or math.max(-1e29, math.min(1e29, n))
    if type(value) ~= "number" or kept ~= value then
        io.stderr:write(string.format("The %s %s cannot be saved as it is; saved as %.17g\n", what,
                                      tostring(value), kept))
    end
    return kept
end

local p = get_player_position()
local lines = {
    "nightbite-save 1",
    string.format("position %.9g %.9g %.9g", p[1], p[2], p[3]),
    string.format("health %d", get_player_health()),
    string.format("bloodlevel %.17g", saveable("blood level", get_player_bloodlevel())),
    "bloodtype " .. get_player_bloodtype(),
    string.format("banked %.17g", saveable("banked blood", game.banked or 0)),
}
for _, name in ipairs(get_player_powerups()) do
    -- One line each, read up to its end and without a trailing CR.
    if name == "" or string.find(name, "[\n%z]") or string.find(name, "\r$") then
        local shown = string.gsub(string.format("%q", name), "\n", "n") -- one line
        io.stderr:write("The powerup ", shown, " is not saved: its name would not load back\n")
    else
        table.insert(lines, "powerup " .. name)
    end
end
table.insert(lines, "end")

local out, err = createTemporary()
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
tell("Saved", 2)
