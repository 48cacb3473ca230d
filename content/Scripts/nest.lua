-- The nest on the roof: the blood carried is banked here and the insect is
-- light again. Every 300 banked earns a sharper proboscis.
local level = get_player_bloodlevel()
if level <= 0 or game.over then
    return
end
game.banked = (game.banked or 0) + level
game.bankCount = (game.bankCount or 0) + 1
set_player_bloodlevel(0)
play_sound("bank")
if not game.bankedOnce then
    game.bankedOnce = true
    hud_goal(game.nest[1], game.nest[2] + 40, game.nest[3])
end
-- The best score is kept the moment this round's beats it.
game.recordBest()
print(string.format("Banked %d blood, %d in all.", level, game.banked))
hud_message(string.format("Banked %d blood!", level), 2.5)
if game.banked >= 300 and not game.proboscis then
    game.proboscis = true
    register_player_powerup("proboscis")
    print("A sharper proboscis: you drink faster now.")
    hud_message(string.format("Banked %d blood!\nA sharper proboscis: you drink faster now", level), 4)
end
