# SPDX-License-Identifier: GPL-3.0-or-later
# A speech-dispatcher of the test's own, sourced after checks.sh: its own configuration, socket and
# logs under DIR, no sound device, and one output module whose "synthesiser" writes what it was
# asked to say to DIR/said.log: "said TEXT" when it starts, "done TEXT" when it has finished. It
# speaks for 40 ms per character, so a phrase that is cut off has a "said" line and no "done" line.
# SPEECHD_ADDRESS points the panel (libspeechd) at it.

speechd_pid=""
# start_speechd DIR [MODULE_CONFIGURATION]: starts the daemon and waits until it takes clients.
# MODULE_CONFIGURATION, when given, replaces the output module's lines that run say.sh.
start_speechd() {
  local dir=$1 module=${2:-}
  mkdir -p "$dir/modules" "$dir/log"
  cat >"$dir/say.sh" <<SAY
#!/bin/sh
printf 'said %s\n' "\$1" >>"$dir/said.log"
sleep \$(awk -v n="\${#1}" 'BEGIN { printf "%.2f", n * 0.04 }')
printf 'done %s\n' "\$1" >>"$dir/said.log"
SAY
  chmod +x "$dir/say.sh"
  : >"$dir/said.log"
  cat >"$dir/speechd.conf" <<CONF
CommunicationMethod "unix_socket"
SocketPath "$dir/sock"
LogLevel 3
LogDir "$dir/log"
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "said" "sd_generic" "said.conf"
DefaultModule said
DefaultLanguage "en"
CONF
  [ -n "$module" ] || module="GenericExecuteSynth \"$dir/say.sh '\$DATA'\""
  printf '%s\nGenericLanguage "en" "en" "utf-8"\nAddVoice "en" "MALE1" "en"\n' "$module" \
    >"$dir/modules/said.conf"
  # As a daemon: run as a single application it ends when its standard input does.
  speech-dispatcher --run-daemon --timeout 0 --config-dir "$dir" --pid-file "$dir/pid" \
    >"$dir/speechd.out" 2>&1 </dev/null
  export SPEECHD_ADDRESS="unix_socket:$dir/sock"
  if ! wait_for 100 grep -q "waiting for clients" "$dir/log/speech-dispatcher.log" ||
    ! wait_for 50 test -s "$dir/pid"; then
    echo "FAIL speech-dispatcher did not start"
    cat "$dir/speechd.out" "$dir/log/speech-dispatcher.log"
    return 1
  fi
  speechd_pid=$(cat "$dir/pid")
}
# stop_speechd [SIGNAL]: ends the daemon (TERM unless told) and waits until it has gone.
stop_speechd() {
  [ -n "$speechd_pid" ] || return 0
  kill "-${1:-TERM}" "$speechd_pid" 2>/dev/null
  wait_for 100 ended "$speechd_pid"
  speechd_pid=""
}

# The service's log of what it was asked to say, and checks on it.
said_log() { cat "$speechd_dir/said.log"; }
# said TEXT: the service has started saying TEXT (a whole phrase, or an extended regular
# expression for one).
said() { grep -Eqx "said $1" "$speechd_dir/said.log"; }
finished() { grep -Eqx "done $1" "$speechd_dir/said.log"; }
said_count() { grep -Ec "^said " "$speechd_dir/said.log"; }
