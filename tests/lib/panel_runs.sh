# SPDX-License-Identifier: GPL-3.0-or-later
# Pieces for end-to-end scripts that run the real panel several times against one simulated radio;
# sourced after checks.sh. They expect $work (where radiosim linked com3 and logs to radio.log).

# new_run DIR CONFIG: a fresh working directory for one panel run, holding orvane.cfg (CONFIG with
# printf escapes) and its own link com3 to the simulated radio's line.
new_run() {
  mkdir -p "$1"
  printf '%b' "$2" >"$1/orvane.cfg"
  ln -s "$(readlink "$work/com3")" "$1/com3"
}

# start_band_memories: the first eleven lines of a memory.dat as the panel starts one: each band's
# start frequency, 160 m to 6 m.
start_band_memories() {
  printf 'FA%011d\r\n' 1900000 3600000 5400000 7100000 10100000 14200000 18100000 21200000 \
    24890000 28500000 50150000
}

# The radio's log so far, in lines: commands_since takes it as its starting point.
radio_mark() { wc -l <"$work/radio.log"; }
# commands_since MARK: the commands the radio received after that point.
commands_since() { tail -n "+$(($1 + 1))" "$work/radio.log" | radio_commands /dev/stdin; }
# polled_twice MARK: the panel has asked for the frequency (of VFO B in split) twice since MARK, so
# it has read the answer to the first question.
polled_twice() { [ "$(commands_since "$1" | grep -cxE 'FA|FB')" -ge 2 ]; }

# make_wav FILE FRAMES VALUE: a clip of FRAMES samples, all VALUE, 16-bit mono at 22050 Hz, the
# player's own format, so SDL's disk driver writes exactly these samples.
make_wav() {
  perl -e 'my ($n, $v) = @ARGV; my $d = pack("s<", $v) x $n;
    print "RIFF", pack("V", 36 + length $d), "WAVEfmt ",
      pack("VvvVVvv", 16, 1, 1, 22050, 44100, 2, 16), "data", pack("V", length $d), $d' \
    "$2" "$3" >"$1"
}


# sounds FILE: what SDL's disk driver played, silence left out: one line "FRAMES VALUE" for each
# stretch of equal samples.
sounds() {
  speech_written
  od -An -v -td2 -w2 "$1" | awk '$1 != 0' | uniq -c | awk '{print $1, $2}'
}
