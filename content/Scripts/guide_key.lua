-- H: skips the guide while it shows, and shows it again from its first step
-- otherwise.
if game.guideStep and not game.guideDone then
    game.skipGuide()
elseif game.startGuide then
    game.startGuide()
end
