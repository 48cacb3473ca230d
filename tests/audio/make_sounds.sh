#!/usr/bin/env bash
# Makes the sounds the detector is tried on: recorded instruments rendered by
# FluidSynth from the General MIDI sound font, speech from eSpeak NG, and noise,
# hum and clicks from SoX, each mixed over the noise of a quiet room.
# Usage: make_sounds.sh OUT_DIR
# Every sound is 20 s of raw signed 16-bit little-endian mono at 22050 Hz,
# OUT_DIR/<name>.raw. A held note starts at 3 s and lasts 12 s; it is 15 dB
# louder than the room (broadband RMS). OUT_DIR/complete is written last and
# names this script's checksum, so an unchanged script makes nothing twice.
set -euo pipefail
out=${1:?usage: make_sounds.sh OUT_DIR}
font=/usr/share/sounds/sf2/FluidR3_GM.sf2
stamp=$(sha1sum "$0" | cut -d' ' -f1)
[ "$(cat "$out/complete" 2>/dev/null)" = "$stamp" ] && exit 0

for tool in sox fluidsynth espeak-ng; do
    command -v "$tool" > /dev/null || { echo "make_sounds: $tool is not installed" >&2; exit 1; }
done
[ -f "$font" ] || { echo "make_sounds: no sound font at $font (fluid-soundfont-gm)" >&2; exit 1; }

mkdir -p "$out"
rm -f "$out/complete"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Intermediate files stay in floating point so that only the last step rounds.
F=(-r 22050 -c 1 -b 32 -e floating-point)
seconds=20

# The RMS level of a file in dBFS (a full-scale square wave is 0 dBFS).
rms_db() {
    sox "$1" -n stat 2>&1 | awk '/^RMS +amplitude/ {print 20 * log($3) / log(10)}'
}

# Scales a file in place to the given RMS level in dBFS.
set_rms() {
    local gain
    gain=$(awk -v want="$2" -v have="$(rms_db "$1")" 'BEGIN {print want - have}')
    sox "$1" "$work/scaled.wav" gain "$gain"
    mv "$work/scaled.wav" "$1"
}

# The final 16-bit file, 20 s unless a length is given, rounded with SoX's
# usual dither.
finish() {
    sox "$1" -r 22050 -c 1 -b 16 -e signed -t raw "$out/$2.raw" remix - trim 0 "${3:-$seconds}"
}

# Mixes a sound over the room, both at their own levels.
over_room() {
    sox -m -v 1 "$work/room.wav" -v 1 "$1" "$work/mixed.wav" trim 0 "${3:-$seconds}"
    finish "$work/mixed.wav" "$2" "${3:-$seconds}"
}

# The room: pink noise at -50 dBFS and a faint mains hum at -65 dBFS, long
# enough for the game's flights below.
sox -n "${F[@]}" "$work/pink.wav" synth 45 pinknoise
set_rms "$work/pink.wav" -50
sox -n "${F[@]}" "$work/hum.wav" synth 45 sine 50
set_rms "$work/hum.wav" -65
sox -m -v 1 "$work/pink.wav" -v 1 "$work/hum.wav" "$work/room.wav"

# Plain noise: white at every level from a quiet microphone's hiss to a loud
# one, pink and brown at a conversational and a loud level.
for db in -90 -80 -70 -60 -50 -40 -30; do
    sox -n "${F[@]}" "$work/n.wav" synth "$seconds" whitenoise
    set_rms "$work/n.wav" "$db"
    finish "$work/n.wav" "white${db}"
done
for colour in pink brown; do
    for db in -40 -20; do
        sox -n "${F[@]}" "$work/n.wav" synth "$seconds" "${colour}noise"
        set_rms "$work/n.wav" "$db"
        finish "$work/n.wav" "${colour}${db}"
    done
done

# Mains hum with its harmonics: a 50 Hz buzz (square wave, odd harmonics to
# the top of the band) and a 100 Hz one (sawtooth, every harmonic).
sox -n "${F[@]}" "$work/h.wav" synth "$seconds" square 50
set_rms "$work/h.wav" -30
over_room "$work/h.wav" hum50
sox -n "${F[@]}" "$work/h.wav" synth "$seconds" sawtooth 100
set_rms "$work/h.wav" -30
over_room "$work/h.wav" hum100

# Typing: short bursts, some bright and some dull, at uneven gaps of 60 to
# 360 ms, about -20 dBFS at their peak.
sox -n "${F[@]}" "$work/c0.wav" synth 0.004 whitenoise fade q 0 0.004 0.0035 gain -20
sox -n "${F[@]}" "$work/c1.wav" synth 0.006 whitenoise gain -18 highpass 2000 fade q 0 0.006 0.005
sox -n "${F[@]}" "$work/c2.wav" synth 0.008 whitenoise gain -16 bandpass 3000 1000h fade q 0 0.008 0.007
sox -n "${F[@]}" "$work/c3.wav" synth 0.005 brownnoise fade q 0 0.005 0.004 gain -10
for c in 0 1 2 3; do
    for g in 0 1 2 3 4 5; do
        sox "$work/c$c.wav" "$work/s$c$g.wav" pad 0 "0.$((6 + 6 * g))"
    done
done
RANDOM=7
segments=()
for _ in $(seq 110); do
    segments+=("$work/s$((RANDOM % 4))$((RANDOM % 6)).wav")
done
sox "${segments[@]}" "$work/typing.wav"
over_room "$work/typing.wav" typing

# Speech, a man's and a woman's voice, 20 dB above the room.
text="The mosquito waits in the dark street until somebody opens a window. \
Then it rises, slowly at first, over the cars and the lamps, and looks for \
warm light. Nobody hears it coming, but everybody hears it leave. Seven \
sleepers, six bites, and one very angry man with a rolled up newspaper."
espeak-ng -w "$work/speech.wav" -s 150 "$text"
sox "$work/speech.wav" "${F[@]}" "$work/male.wav" pad 0.5 "$seconds"
set_rms "$work/male.wav" -30
over_room "$work/male.wav" speech_male
espeak-ng -w "$work/speech.wav" -v en+f3 -p 70 -s 160 "$text"
sox "$work/speech.wav" "${F[@]}" "$work/female.wav" pad 0.5 "$seconds"
set_rms "$work/female.wav" -30
over_room "$work/female.wav" speech_female

# General MIDI programs, zero-based as the program change carries them:
# 72 piccolo, 73 flute, 74 recorder, 78 whistle, 79 ocarina, 121 breath noise.
# name, program, key.
notes=(
    # From 1.8 to 4 kHz (keys 94 to 107: 1865 to 3951 Hz).
    whistle_94 78 94   whistle_98 78 98   whistle_103 78 103  whistle_107 78 107
    flute_94 73 94     flute_101 73 101   flute_106 73 106
    piccolo_98 72 98   piccolo_105 72 105
    recorder_96 74 96  recorder_94 74 94
    ocarina_94 79 94   ocarina_100 79 100
    # Below 1.5 kHz (keys 72 to 90: 523 to 1480 Hz).
    flute_72 73 72     flute_84 73 84     whistle_84 78 84    whistle_90 78 90
    recorder_88 74 88  ocarina_79 79 79   piccolo_90 72 90
    # Blowing into the microphone.
    breath_72 121 72
)

# One Standard MIDI File plays every note in turn, so that the sound font is
# loaded once: 96 ticks to the beat at the default 120 beats a minute; each
# note is held 12 s (2304 ticks) and followed by 4 s (768 ticks) for the
# release and the reverberation to die away. A whistle held 40 s (7680 ticks)
# comes last, for the game's flights.
hex() { printf '\\x%02x' "$@"; }
{
    for ((i = 0; i < ${#notes[@]}; i += 3)); do
        program=${notes[i + 1]} key=${notes[i + 2]}
        if ((i == 0)); then printf '\x00'; else printf '\x86\x00'; fi
        printf %b "\xc0$(hex "$program")\x00\x90$(hex "$key")\x64"
        printf %b "\x92\x00\x80$(hex "$key")\x00"
    done
    printf '\x86\x00\xc0\x4e\x00\x90\x62\x64\xbc\x00\x80\x62\x00'
    printf '\x00\xff\x2f\x00'
} > "$work/track"
length=$(stat -c %s "$work/track")
{
    printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk'
    printf %b "$(hex $((length >> 24)) $(((length >> 16) & 255)) $(((length >> 8) & 255)) $((length & 255)))"
    cat "$work/track"
} > "$work/notes.mid"
fluidsynth -ni -q -r 22050 -F "$work/notes.wav" "$font" "$work/notes.mid" > /dev/null 2>&1 || true
[ -s "$work/notes.wav" ] || { echo "make_sounds: fluidsynth rendered nothing" >&2; exit 1; }

# Each note, 15 dB above the room from 3 s on.
for ((i = 0; i < ${#notes[@]}; i += 3)); do
    sox "$work/notes.wav" "${F[@]}" "$work/held.wav" remix - trim $((i / 3 * 16)) 12 fade q 0 12 0.05
    # A key outside the instrument's samples renders silence, which scaling
    # would turn into loud hiss.
    awk -v db="$(rms_db "$work/held.wav")" 'BEGIN {exit !(db > -60)}' ||
        { echo "make_sounds: ${notes[i]} rendered nearly silent" >&2; exit 1; }
    set_rms "$work/held.wav" -35
    sox "$work/held.wav" "$work/padded.wav" pad 3 "$seconds"
    over_room "$work/padded.wav" "${notes[i]}"
done

# The game's flights, 45 s each. A whistle (key 98, 2349 Hz) from 1 s on;
# and hiss, white noise at -45 dBFS, alone for 22 s and then under the same
# whistle 15 dB louder.
flight=$((${#notes[@]} / 3 * 16))
sox "$work/notes.wav" "${F[@]}" "$work/long.wav" remix - trim "$flight" 40 fade q 0 40 0.05
set_rms "$work/long.wav" -35
sox "$work/long.wav" "$work/padded.wav" pad 1 4
over_room "$work/padded.wav" flight_whistle 45
sox -n "${F[@]}" "$work/hiss.wav" synth 45 whitenoise
set_rms "$work/hiss.wav" -45
sox "$work/long.wav" "$work/late.wav" gain 5 trim 0 23 pad 22 0
sox -m -v 1 "$work/hiss.wav" -v 1 "$work/late.wav" "$work/hissy.wav"
over_room "$work/hissy.wav" flight_hiss 45

echo "$stamp" > "$out/complete"
