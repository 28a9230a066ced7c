# Shared by the end-to-end scripts: the built Istrel.exe run under Wine
# from a folder of its own beside the stand-in kit, against an accounting
# application registered in the test prefix.
#   source lib.sh BUILD_DIR NAME
# ISTREL_WINE_LANE=NAME runs it in a prefix of its own (the test prefix's
# path plus "-NAME"); ISTREL_E2E_PORT=N is the port of the server a script
# sets up (the fault table installs there too), so that scripts in
# different prefixes can run side by side.
# Sets: root, build, wr (Wine runner), drive_c, inst (installer folder, Unix,
# removed by finish), port (the installation's), default_port,
# app / appw (application folder, Unix / Windows), fb / fbw (server folder),
# log (setup log, Unix), netsh_log (the firewall stand-in's log, Unix).
# Functions below; fail ends the script with 1.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$1" && pwd)"
name="$2"
wr="$root/cmake/wine-run"
export ISTREL_WINEPREFIX="${ISTREL_WINEPREFIX:-$root/build/wineprefix}${ISTREL_WINE_LANE:+-$ISTREL_WINE_LANE}"
unset ISTREL_WINE_LANE
export WINEPREFIX="$ISTREL_WINEPREFIX"
"$root/scripts/wineprefix" ensure
drive_c="$WINEPREFIX/drive_c"

# The maker's standard folder holds the application and the setup log.
app="$drive_c/velmora/zentaq"
appw='C:\velmora\zentaq\'
fb="$drive_c/velmora/firebird/firebird_4_0_x64"
fbw='C:\velmora\firebird\firebird_4_0_x64\'
log="$app/userdata/setup.log"
default_port=50064
port="${ISTREL_E2E_PORT:-$default_port}"
# What puts a fresh installation on this script's port: nothing on the
# default port, which the page offers by itself.
port_option=""
[ "$port" = "$default_port" ] || port_option="/PORT=$port"
service="FirebirdServervelmora64b_$port"
# The installer runs the system's netsh.exe by its full path; the stand-in
# takes its place, and Wine loads it instead of its builtin only with
# "netsh.exe=n" (istrel_overrides, for the runs of Istrel.exe).
system32="$drive_c/windows/system32"
netsh_log="$system32/netsh.log"
istrel_overrides="netsh.exe=n${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# Outside the build tree, whose programs tests/e2e/check-binaries inspects;
# named after the build's full path, so two checkouts never share one.
inst="${TMPDIR:-/tmp}/istrel-e2e-$(basename "$build")-$(printf %s "$build" | md5sum | cut -c1-8)-$name"

failures=0
# A script stopped part way by a command that failed (set -e) says where; a
# script with an EXIT trap of its own calls this first in it.
said_why=0
report_silent_end() {
  local rc=$? command="$BASH_COMMAND"
  [ "$rc" = 0 ] || [ "$said_why" = 1 ] ||
    echo "FAIL: stopped by a failed command (exit $rc) in ${FUNCNAME[*]:1}: $command"
}
trap report_silent_end EXIT
check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then echo "  ok   $what"; return; fi
  echo "  FAIL $what"
  failures=$((failures + 1))
  # What the run said, for a failure that happens only now and then.
  [ -f "$log" ] && log_text 2>/dev/null | tr -d '\r' | grep -v '^[0-3][0-9]\.' | tail -n 3 | sed 's/^/    log: /'
  return 0
}
fail() { said_why=1; echo "FAIL: $*"; exit 1; }
finish() {
  cleanup
  rm -rf "$inst"
  if [ "$failures" -gt 0 ]; then said_why=1; echo "$name: $failures failed"; exit 1; fi
  echo "$name: all passed"
}

# The agent (agent.exe): one Windows process of the prefix that starts the
# tools below for the script, so that a call costs one process of the prefix
# rather than Wine's loader, start.exe and a console. It runs from
# agent_start until the script ends or the prefix's processes are ended (a
# power cut starts it again). Its pipes are open in every subshell, and a
# lock beside the prefix takes the requests one at a time. Without it a call
# starts the tool from Unix.
agent_in="" agent_out=""
agent_lock="$WINEPREFIX.agent.lock"
agent_start() {
  agent_stop
  local fifos _
  fifos="$(mktemp -d "${TMPDIR:-/tmp}/istrel-agent.XXXXXX")"
  mkfifo "$fifos/in" "$fifos/out"
  # Not a job of the script's, which a plain "wait" would wait for.
  ( "$wr" "$build/tests/e2e/agent.exe" <"$fifos/in" >"$fifos/out" 2>/dev/null & )
  exec {agent_in}>"$fifos/in" {agent_out}<"$fifos/out"
  rm -rf "$fifos"
  # Its first answer says it runs. A process still starting when the
  # prefix's processes are ended would escape that and keep a server of its
  # own running.
  IFS= read -r -d $'\x1e' _ <&"$agent_out" && read -r _ <&"$agent_out" || agent_stop
}
# A power cut: every process of the prefix ends at once. The server is
# waited for until it is gone (a new one cannot start while the old one
# still ends: the start then fails now and then), then the run that was cut
# (PID), then the prefix and the agent start again.
cut_power() {  # cut_power PID
  wine_server -k 2>/dev/null || true
  wine_server -w 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  "$root/scripts/wineprefix" start
  agent_start
}
# It ends when its requests end.
agent_stop() {
  [ -n "$agent_in" ] || return 0
  exec {agent_in}>&- {agent_out}<&-
  agent_in="" agent_out=""
}
# agent_ask VERB ARG...: the answer's output; returns its code (255: no agent).
agent_ask() {
  [ -n "$agent_in" ] || return 255
  local IFS=$'\t' lock out="" rc=255
  exec {lock}>"$agent_lock"
  flock "$lock"
  # An agent ended by a power cut must not end the shell too.
  trap '' PIPE
  if printf '%s\n' "$*" >&"$agent_in" 2>/dev/null &&
     IFS= read -r -d $'\x1e' out <&"$agent_out" && read -r rc <&"$agent_out"; then
    rc="$((rc < 0 || rc > 254 ? 254 : rc))"
  else
    rc=255
  fi
  trap - PIPE
  exec {lock}>&-
  printf '%s' "$out"
  return "$rc"
}

# A Windows tool (reg, sc...) with its output, CRs dropped, and its exit
# code, started by the agent. Without it, Wine starts the tool from Unix
# through start.exe, which on a loaded machine may fail to start it at all
# ("Application could not be started ... ShellExecuteEx failed") and say so
# on standard output; the tool never ran, so it is started again.
wine_quiet() {
  local out rc _
  rc=0
  out="$(agent_ask run "$@")" || rc=$?
  if [ "$rc" = 255 ]; then
    for _ in 1 2 3 4 5; do
      rc=0
      out="$("$wr" "$@" </dev/null 2>/dev/null)" || rc=$?
      [[ "$out" == "Application could not be started"* ]] || break
      sleep 0.5
    done
  fi
  [ -n "$out" ] && printf '%s\n' "${out//$'\r'/}"
  return "$rc"
}
agent_start

# Processes of this prefix whose command line matches the pattern. A
# process is taken for this prefix's by its environment, which every Wine
# process of the prefix inherits; other lanes run the same programs in
# prefixes of their own and are never looked at.
prefix_processes() {  # prefix_processes PATTERN
  local env pid
  for env in /proc/[0-9]*/environ; do
    pid="${env#/proc/}"; pid="${pid%/environ}"
    { tr '\0' '\n' <"$env"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    { tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null | grep -qE -- "$1" && echo "$pid"
  done
  return 0
}

register_app() {
  local _
  for _ in 1 2 3; do
    wine_quiet reg add 'HKLM\SOFTWARE\Velmora\ZENTAQ' /v BaseDir /d "$appw" /f /reg:32 >/dev/null && return 0
    sleep 0.5
  done
  fail "reg.exe could not register the application"
}
unregister_app() { wine_quiet reg delete 'HKLM\SOFTWARE\Velmora\ZENTAQ' /v BaseDir /f /reg:32 >/dev/null || true; }

service_state() {  # prints RUNNING, STOPPED or NONE
  local out
  out="$(agent_ask state "$1")" || out="$(wine_quiet sc query "$1" || true)"
  case "$out" in
    *RUNNING*) echo RUNNING ;;
    *STOPPED*) echo STOPPED ;;
    *) echo NONE ;;
  esac
}

forget_service() {
  if [ "$(service_state "$1")" != NONE ]; then
    wine_quiet sc stop "$1" >/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do [ "$(service_state "$1")" = RUNNING ] || break; sleep 0.3; done
    wine_quiet sc delete "$1" >/dev/null || true
    # A deleted service goes once its process has ended; a slow machine may
    # take seconds, and the next install of the same name fails until then.
    for _ in $(seq 100); do [ "$(service_state "$1")" = NONE ] && break; sleep 0.2; done
  fi
}

cleanup() {
  forget_service "$service"
  unregister_app
  rm -rf "$drive_c/velmora" "$drive_c/users/"*/Temp/fbclient.dll
  # Wine's own netsh.exe back.
  if [ -f "$system32/netsh.exe.istrel-saved" ]; then
    mv -f "$system32/netsh.exe.istrel-saved" "$system32/netsh.exe"
  fi
  rm -f "$netsh_log"
}


# An application laid out as the installer expects; the installer's folder
# with Istrel.exe, the kit, the backup tool and a planted netsh.exe that
# must never run; the firewall stand-in in the system folder.
prepare() {
  cleanup
  mkdir -p "$app/userdata/comps" "$app/userdata/temp" "$app/bin/exe" "$app/bin/system/quenlet" "$app/data"
  printf 'template' >"$app/data/_sablona.fdb"
  rm -rf "$inst" && mkdir -p "$inst"
  cp "$build/bin/Istrel.exe" "$root/build/kit/firebird_4_0_x64.zip" "$build/doubles/netsh.exe" "$inst/"
  printf 'MZ backup tool stand-in' >"$inst/Quenlet.exe"
  cp "$system32/netsh.exe" "$system32/netsh.exe.istrel-saved"
  cp "$build/doubles/netsh.exe" "$system32/netsh.exe"
}

# Runs Istrel.exe from its own folder; prints its exit code.
run_istrel() {
  local rc=0
  (cd "$inst" && WINEDLLOVERRIDES="$istrel_overrides" timeout 120 "$wr" Istrel.exe "$@" </dev/null >/dev/null 2>&1) || rc=$?
  echo "$rc"
}

# Asks COMMAND every 5 ms until it holds or the background program PID has
# ended; true when it held. The program's own time limit
# bounds the wait, however slowly it starts on a loaded machine. No program
# is started to wait: the pause is a read that never gets data, so a state
# that lasts a fraction of a second is still seen under load.
holds_before_end() {  # holds_before_end PID COMMAND...
  local pid="$1" pause held=1
  shift
  exec {pause}<> <(:)
  while kill -0 "$pid" 2>/dev/null; do
    "$@" && { held=0; break; }
    read -r -t 0.005 -u "$pause" _ || true
  done
  exec {pause}<&-
  return "$held"
}
# Waits until FILE exists or the background program PID has ended; true
# when FILE is there (written, perhaps, just before the end).
reached_before_end() {  # reached_before_end FILE PID
  holds_before_end "$2" test -e "$1" || [ -e "$1" ]
}
ini_value() { sed -n "s/^$1=//p" "$app/bin/exe/data.ini" | tr -d '\r'; }
conf_has() { grep -qxF "$1" <(tr -d '\r' <"$fb/firebird.conf"); }
same_bytes() { cmp -s "$1" "$2"; }
log_text() { iconv -f UTF-16LE -t UTF-8 "$log"; }

# The first entry of each run's setup log: the program and its version.
opening="Istrel $(sed -n 's/^Istrel \([0-9.]*\) *$/\1/p' "$root/VERSION")"

# The setup log holds exactly one run's opening entry and then the given
# messages (a later run's own opening entry among them as "$opening"), each
# as a stamp line and a message line with CR LF, in UTF-16LE without a
# byte-order mark.
log_is() {
  [ -f "$log" ] || return 1
  local expected="" m
  for m in "$opening" "$@"; do expected+="STAMP"$'\r\n'"$m"$'\r\n'; done
  [ "$(head -c 2 "$log" | od -An -tx1 | tr -d ' ')" != fffe ] || return 1
  local actual
  actual="$(log_text | sed -E 's/^[0-3][0-9]\.[01][0-9]\.[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r$/STAMP\r/'; echo x)"
  [ "${actual%x}" = "$expected" ]
}

# What the stand-ins were asked, without their program paths.
tool_calls() { tr -d '\r' <"$fb/instsvc.log" 2>/dev/null | sed -E 's/^.*instsvc\.exe"? //'; }
firewall_calls() { tr -d '\r' <"$netsh_log" 2>/dev/null; }

# True while a program of the host listens on TCP port PORT.
port_listened() {  # port_listened PORT
  local hex
  hex="$(printf ':%04X' "$1")"
  awk -v p="$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }' \
    /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

# The server folder's instance of PORT (the installation's by default)
# registered and running, as a case lays out an earlier server. The previous
# case's server of that port may still be ending on a loaded machine: the
# port is waited for, and the instance registered and started again.
start_instance() {  # start_instance [PORT]
  local p="${1:-$port}" _try _
  for _try in 1 2 3 4 5; do
    for _ in $(seq 100); do port_listened "$p" || break; sleep 0.2; done
    wine_quiet "${fbw}instsvc.exe" i -n "velmora64b_$p" >/dev/null || true
    wine_quiet "${fbw}instsvc.exe" sta -n "velmora64b_$p" >/dev/null || true
    for _ in $(seq 25); do [ "$(service_state "FirebirdServervelmora64b_$p")" = RUNNING ] && return 0; sleep 0.2; done
    sleep 1
  done
  return 1
}
# The programs that listen on TCP port PORT, one a line: name, process id
# and whose it is. A Wine program's sockets are held by its prefix's
# wineserver, whose environment names the prefix; so a port taken by a suite
# in another prefix is told from this prefix's server.
port_holders() {  # port_holders PORT
  local pid name whose
  for pid in $(ss -ltnpH "sport = :$1" 2>/dev/null | grep -o 'pid=[0-9]*' | cut -d= -f2 | sort -u); do
    name="$(cat "/proc/$pid/comm" 2>/dev/null)"
    case "$name" in
      wineserver*)
        whose="$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | sed -n 's/^WINEPREFIX=//p' | head -n 1)"
        if [ "$whose" = "$WINEPREFIX" ]; then whose="this prefix"; else whose="prefix ${whose:-unknown}"; fi ;;
      *) whose="not Wine" ;;
    esac
    echo "$name $pid ($whose)"
  done
}
# Why the installation's instance does not run, for a failure's message.
why_not_running() {
  local listening="nothing listens on $port" holders
  if port_listened "$port"; then
    holders="$(port_holders "$port" | paste -sd ';' -)"
    listening="port $port is listened on${holders:+ by $holders}"
  fi
  echo "$(service_state "$service"), $listening; the service tool was asked: $(tool_calls | tr '\n' ';')"
}

# Every file of the kit lies in the server folder byte for byte as the kit
# has it, but for the names given.
kit_files_unpacked() {
  local kit="$root/build/kit/firebird_4_0_x64.zip" f
  for f in $(unzip -Z1 "$kit" | grep -v '/$'); do
    [[ " $* " == *" $f "* ]] && continue
    cmp -s "$fb/$f" <(unzip -p "$kit" "$f") || return 1
  done
}

# Everything a finished new installation leaves behind.
check_installed_server() {
  local mode_conf="$1" mode_ini="$2"
  check "server files in $fbw" test -f "$fb/firebird.exe" -a -f "$fb/instsvc.exe" -a -f "$fb/32b/fbclient.dll"
  check "service $service running" test "$(service_state "$service")" = RUNNING
  check "firebird.conf port" conf_has "RemoteServicePort = $port"
  check "firebird.conf mode" conf_has "ServerMode = $mode_conf"
  check "firebird.conf compatibility" conf_has "DataTypeCompatibility = 3.0"
  check "firebird.conf UDF line stays a comment" conf_has "#UdfAccess = Restrict UDF;${appw}bin\\system\\udf\\64"
  check "firewall rule for the server, by the system's netsh.exe" test "$(firewall_calls)" = \
    "C:\\windows\\system32\\netsh.exe firewall add allowedprogram \"${fbw}firebird.exe\" \"Firebird SQL server\" ENABLE"
  check "the netsh.exe beside the installer never ran" test ! -e "$inst/netsh.log"
  check "gds32.dll is the new 32-bit client" same_bytes "$fb/32b/fbclient.dll" "$app/bin/exe/gds32.dll"
  check "fbclient.dll is the new 32-bit client" same_bytes "$fb/32b/fbclient.dll" "$app/bin/exe/fbclient.dll"
  check "message file and runtime libraries" test -f "$app/bin/exe/firebird.msg" -a -f "$app/bin/exe/msvcp140.dll" -a -f "$app/bin/exe/vcruntime140.dll"
  check "backup tool placed" same_bytes "$inst/Quenlet.exe" "$app/bin/system/quenlet/Quenlet.exe"
  check "data.ini PORT" test "$(ini_value PORT)" = "$port"
  check "data.ini FBSERVER" test "$(ini_value FBSERVER)" = "${fbw}firebird.exe"
  check "data.ini FBTYPE" test "$(ini_value FBTYPE)" = "$mode_ini"
  check "markers removed at the end" test ! -e "$app/userdata/vorsel.stop" -a -z "$(ls "$app/userdata/comps" | grep '^norun\.' || true)"
  check "template database removed at the end" test ! -e "$app/data/_sablona.fdb"
  check "kit removed from the installer's folder" test ! -e "$inst/firebird_4_0_x64.zip"
}
