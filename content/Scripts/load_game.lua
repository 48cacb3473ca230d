-- Loads what save_game.lua wrote to Resources/<args.file>.sav (F8).
--
-- All or nothing: the whole file is read and checked before anything of the
-- game changes. A save that is damaged in any way (cut short, empty, binary,
-- too long, a line that is not understood, a field missing or given twice,
-- more powerups than the player can hold) is refused with one line on
-- standard error naming the file and the reason, and the game goes on as it
-- was. Line ends may be LF or CRLF.
--
-- Versions: a save starts with "nightbite-save 1" and ends with "end". A
-- save with no version line comes from the first release of the game (the
-- same fields, no end line) and loads as well. A save from a newer version
-- is refused.
local file = args.file or "test"
if not string.find(file, "^[%w_%-]+$") then
    print("Not loading: bad save name " .. file)
    hud_message("Not loaded: bad save name " .. file, 4)
    return
end
local path = "Resources/" .. file .. ".sav"

local maxBytes = 65536
local maxPowerups = 32
local version = 1

local function refuse(reason)
    io.stderr:write("Not loaded from ", path, ": ", reason, "; nothing was changed\n")
    hud_message("Not loaded: " .. reason .. "\nNothing was changed", 4)
end

-- Only a regular file is read, and at most maxBytes of it. Opened for
-- reading and writing, which unlike reading alone never waits on a FIFO and
-- fails on a folder; a FIFO, socket or terminal then cannot seek, and a
-- device that gives more than its size is no file either. A save that may
-- not be written is opened for reading alone.
local input, openError, code = io.open(path, "r+b")
if not input and code == 13 then -- EACCES
    input, openError, code = io.open(path, "rb")
end
if not input then
    if code == 2 then -- ENOENT
        print("No saved game " .. file)
        hud_message("No saved game to load (F5 saves one)", 3)
        return
    end
    return refuse(openError)
end
local size = input:seek("end")
if not size then
    input:close()
    return refuse("it is not a regular file")
end
if size > maxBytes then
    input:close()
    return refuse(string.format("longer than %d bytes", maxBytes))
end
input:seek("set")
local text, readError = input:read(maxBytes + 1)
input:close()
if readError then
    return refuse(readError)
end
text = text or ""
if #text ~= size then
    return refuse("it is not a regular file, or it changed while it was read")
end

local function finite(word)
    local n = tonumber(word)
    if n and n > -1e30 and n < 1e30 then
        return n
    end
end

local bloodTypes = {["0"] = true, A = true, B = true, AB = true}

-- Each field: how to read its text, or nil when it is not valid.
local fields = {
    position = function(rest)
        local x, y, z = string.match(rest, "^(%S+) (%S+) (%S+)$")
        x, y, z = finite(x), finite(y), finite(z)
        if x and y and z then
            return {x, y, z}
        end
    end,
    health = function(rest)
        local n = finite(rest)
        if n and n == math.floor(n) then
            return n
        end
    end,
    bloodlevel = finite,
    bloodtype = function(rest)
        return bloodTypes[rest] and rest
    end,
    banked = finite,
}

-- Returns the checked save as a table, or nil and the reason.
local function parse()
    if text == "" then
        return nil, "the file is empty"
    end
    if string.find(text, "\0", 1, true) then
        return nil, "it holds a NUL byte"
    end
    if string.sub(text, -1) ~= "\n" then
        return nil, "it is cut short (no line end at the end)"
    end
    local lines = {}
    for line in string.gmatch(text, "([^\n]*)\n") do
        table.insert(lines, (string.gsub(line, "\r$", "")))
    end
    local first = 1
    local header = string.match(lines[1], "^nightbite%-save (%d+)$")
    if header then
        if tonumber(header) > version then
            return nil, "it was written by a newer version (" .. header .. ") of the game"
        end
        if lines[#lines] ~= "end" then
            return nil, "it is cut short (no end line)"
        end
        first, lines[#lines] = 2, nil
    end
    local save = {powerups = {}}
    for i = first, #lines do
        local key, rest = string.match(lines[i], "^(%a+) (.+)$")
        local value
        if key == "powerup" then
            if #save.powerups == maxPowerups then
                return nil, string.format("more than %d powerups", maxPowerups)
            end
            table.insert(save.powerups, rest)
        elseif key and fields[key] and save[key] == nil then
            value = fields[key](rest)
            if value == nil then
                return nil, string.format("line %d is not valid: %q", i, lines[i])
            end
            save[key] = value
        else
            return nil, string.format("line %d is not understood: %q", i, string.sub(lines[i], 1, 60))
        end
    end
    for key in pairs(fields) do
        if save[key] == nil then
            return nil, "the field " .. key .. " is missing"
        end
    end
    return save
end

local save, reason = parse()
if not save then
    return refuse(reason)
end

set_player_position(save.position[1], save.position[2], save.position[3])
set_player_health(save.health)
set_player_bloodlevel(save.bloodlevel)
set_player_bloodtype(save.bloodtype)
game.banked = save.banked
for _, name in ipairs(get_player_powerups()) do
    unregister_player_powerup(name)
end
game.proboscis = nil
for _, name in ipairs(save.powerups) do
    register_player_powerup(name)
    if name == "proboscis" then
        game.proboscis = true
    end
end
-- A round that was over plays again with the health loaded; the frame script
-- would only clear the message, and this one says what happened.
if game.over and get_player_health() > 0 then
    game.over = false
end
hud_message("Loaded", 2)
