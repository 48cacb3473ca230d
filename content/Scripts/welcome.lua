-- Shown once, at the start: the trigger around the starting place destroys
-- itself.
print("Whistle to fly (a high tone lifts you), steer with the mouse.")
print("Land on a person to drink, bank the blood in the nest on the roof of the")
print("middle house on your left as you start, and press Space to get away before")
print("a slap.")
print("F1: through your own eyes, F2: from behind; 1-4: change body; F5/F8: save/load.")
hud_message("Whistle a high note to climb; steer with the mouse\n" ..
            "Land on a person to drink; climb and press Space to leave\n" ..
            "Bank the blood in the nest on the roof to your left\n" ..
            "F1/F2 views · F5/F8 save/load · Esc quits", 12)
destroy_trigger(args.trigger)
