#!/usr/bin/env bash
# End-to-end runs of tolsa-bridge with real processes: mosquitto on a free
# port of 127.0.0.1 with a config written here, and bridges in "machines"
# that are private areas, each in its own mount and IPC namespace (tmpfs on
# /kestor and /dev/shm) sharing the loopback network. Nothing leaves
# 127.0.0.0/8. Usage: bridge-test.sh native|wine
# Needs root; exits 77 (skipped) without it, without mosquitto, or (wine)
# without the Windows build.
set -euo pipefail
mode=${1:-native}
bin=${TOLSA_BIN:?TOLSA_BIN: the directory of tolsa-bridge and tolsa}
skip() { echo "skipped: $1"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root for private namespaces"
command -v mosquitto >/dev/null || skip "no mosquitto"
if [ "$mode" = wine ]; then
  winbin=${TOLSA_WINDOWS_BIN:?}
  [ -f "$winbin/tolsa-bridge.exe" ] || skip "no $winbin/tolsa-bridge.exe"
fi

work=$(mktemp -d /tmp/tolsa-bridge-test.XXXXXX)
# mosquitto started as root runs as the user mosquitto: it must read its files here.
chmod 0755 "$work"
declare -A side=() broker=()
pids=()
cleanup() {
  exec 2>/dev/null  # no job notices for what is killed here
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  for pid in "${side[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# ---- helpers -----------------------------------------------------------------

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# wait_until SECONDS COMMAND...: polls every 50 ms.
wait_until() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.05
  done
}

# start_broker NAME PORT [CONFIG LINE]...
start_broker() {
  local name=$1 port=$2; shift 2
  { echo "listener $port 127.0.0.1"; echo "persistence false"; printf '%s\n' "$@"
    printf '%s\n' "$@" | grep -q '^allow_anonymous' || echo "allow_anonymous true"; } >"$work/$name.conf"
  mosquitto -c "$work/$name.conf" >"$work/$name.log" 2>&1 &
  broker[$name]=$!
  pids+=($!)
  wait_until 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" || { cat "$work/$name.log" >&2; fail "broker $name did not start"; }
}
stop_broker() { kill -9 "${broker[$1]}" 2>/dev/null || true; wait "${broker[$1]}" 2>/dev/null || true; }

# new_side NAME [WINEPREFIX]: a machine of its own with the definitions in
# $work/defs. With a wine prefix, the side sees a private overlay of it: wine
# names its server in a file of the prefix, so a shared prefix would join a
# wineserver of another namespace, which opens files in that one's /kestor.
new_side() {
  mkdir -p "$work/overlay-$1"
  unshare --mount --ipc --propagation private bash -c '
    mount -t tmpfs kestor /kestor && mount -t tmpfs shm /dev/shm &&
    if [ -n "$3" ]; then
      mount -t tmpfs overlay "$4" && mkdir "$4/upper" "$4/work" &&
      mount -t overlay overlay -o "lowerdir=$3,upperdir=$4/upper,workdir=$4/work" "$3" &&
      rm -f "$3/wineserver"
    fi &&
    cp "$1"/*.mem /kestor/ && : >"$2" && exec sleep 3600' _ "$work/defs" "$work/side-$1.ready" "${2:-}" "$work/overlay-$1" \
    2>"$work/side-$1.err" &
  side[$1]=$!
  wait_until 5 test -e "$work/side-$1.ready" || fail "side $1 did not start: $(cat "$work/side-$1.err")"
}
in_side() { local name=$1; shift; nsenter -t "${side[$name]}" -m -i -- "$@"; }

# bridge SIDE LOG ARGUMENTS...: starts a bridge; its pid in $last_pid.
bridge() {
  local name=$1 log=$2; shift 2
  # nsenter itself becomes the bridge, so $! is the bridge's pid.
  nsenter -t "${side[$name]}" -m -i -- "$bin/tolsa-bridge" "$@" >"$work/$log" 2>&1 &
  last_pid=$!
  pids+=($!)
}
get() { in_side "$1" "$bin/tolsa" get "$2"; }
raw() { in_side "$1" "$bin/tolsa" get "$2" --raw; }
set_value() { in_side "$1" "$bin/tolsa" set "$2" "$3"; }

# subscribe LOG PORT ARGS...: records "topic payload" lines of what matches.
subscribe() {
  local log=$1 port=$2; shift 2
  mosquitto_sub -h 127.0.0.1 -p "$port" -v "$@" >"$work/$log" 2>&1 &
  pids+=($!)
  last_pid=$!
}
has_line() { grep -qxF -- "$2" "$work/$1"; }
# retained PORT TOPIC [ARGS]: the retained payload of TOPIC, as it is now.
retained() {
  local port=$1 topic=$2; shift 2
  mosquitto_sub -h 127.0.0.1 -p "$port" -t "$topic" --retained-only -W 1 -C 1 "$@" 2>/dev/null || true
}
same_raw() { [ "$(raw "$1" "$3")" = "$(raw "$2" "$3")" ]; }
# Checks for wait_until, evaluated on every try.
value_is() { [ "$(get "$1" "$2")" = "$3" ]; }
retained_is() { local port=$1 topic=$2 want=$3; shift 3; [ "$(retained "$port" "$topic" "$@")" = "$want" ]; }
lines_at_least() { [ "$(wc -l <"$work/$1")" -ge "$2" ]; }

mkdir -p "$work/defs"
# A variable of every letter, and one of a letter the library gives size 0.
printf '%s\n' 'Text=$' 'Byte=B' 'Half=H' 'Octet=O' 'Mode=M' 'Word=W' 'Long=L' 'Real=D' 'Other=X' >"$work/defs/iorsh.mem"
printf '%s\n' 'Setpoint=D' 'Label=$' >"$work/defs/memsh.mem"

long63=$(printf 'x%.0s' $(seq 1 62))Z
# name, value given, value `tolsa get` prints for it
cases=(
  "IORSH_Text|$long63|$long63"
  "IORSH_Byte|255|255"
  "IORSH_Half|0x7f|127"
  "IORSH_Octet|1|1"
  "IORSH_Mode|65535|65535"
  "IORSH_Word|0x1234|4660"
  "IORSH_Long|-2147483648|-2147483648"
  "IORSH_Real|0.1|0.1"
  "MEMSH_Setpoint|-1e-300|-1e-300"
  "MEMSH_Label|with spaces and \"quotes\"|with spaces and \"quotes\""
)

# ---- native ------------------------------------------------------------------

run_native() {
  local port; port=$(free_port)
  start_broker main "$port"
  new_side a; new_side b

  # A publishes and accepts sets of IORSH_*; B mirrors A.
  subscribe all.log "$port" -t 'a/#' -t 'b/#'
  local sub_all=$last_pid
  bridge a bridge-a.log --broker "mqtt://127.0.0.1:$port" --root a --writable 'IORSH_*' --interval 5
  local bridge_a=$last_pid
  bridge b bridge-b.log --broker "mqtt://127.0.0.1:$port" --root b --mirror a --interval 5
  local bridge_b=$last_pid
  wait_until 5 has_line all.log "a/status online" && wait_until 5 has_line all.log "b/status online" ||
    fail "bridges did not come online: $(cat "$work/bridge-a.log" "$work/bridge-b.log")"

  # -- every letter, A to B, same bytes
  local entry name value shown
  for entry in "${cases[@]}"; do
    IFS='|' read -r name value shown <<<"$entry"
    set_value a "$name" "$value" || fail "tolsa set $name $value"
  done
  for entry in "${cases[@]}"; do
    IFS='|' read -r name value shown <<<"$entry"
    if wait_until 5 same_raw a b "$name" && [ "$(get b "$name")" = "$shown" ]; then
      ok "$name=$value reaches B with the same bytes ($(raw b "$name"))"
    else
      fail "$name: A has $(raw a "$name"), B has $(raw b "$name")"
    fi
    has_line all.log "a/value/$name $shown" || fail "a/value/$name was not published as '$shown'"
  done
  [ "$(retained "$port" a/value/IORSH_Other)" = "" ] || fail "a size-0 value is not empty"

  # -- set: allowed, and refused without a change
  mosquitto_pub -h 127.0.0.1 -p "$port" -t a/set/IORSH_Long -m 123456
  if wait_until 5 value_is a IORSH_Long 123456 && wait_until 5 value_is b IORSH_Long 123456; then
    ok "a/set/IORSH_Long writes A, and B follows"
  else
    fail "a/set/IORSH_Long: A has $(get a IORSH_Long), B has $(get b IORSH_Long)"
  fi
  wait_until 5 has_line all.log "a/value/IORSH_Long 123456" || fail "the set value was not published"
  local refusals=(
    "MEMSH_Setpoint|5|MEMSH_Setpoint is not writable"
    "IORSH_Nope|5|no variable named IORSH_Nope"
    "IORSH_Long|abc|cannot set IORSH_Long (type L): "
    "IORSH_Byte|256|cannot set IORSH_Byte (type B): "
    "IORSH_Text|${long63}y|cannot set IORSH_Text (type \$): "
  )
  local before_a before_b why topic line
  before_a=$(in_side a "$bin/tolsa" dump); before_b=$(in_side b "$bin/tolsa" dump)
  subscribe errors.log "$port" -t a/error
  local sub_errors=$last_pid
  sleep 0.2
  for entry in "${refusals[@]}"; do
    IFS='|' read -r name value why <<<"$entry"
    mosquitto_pub -h 127.0.0.1 -p "$port" -t "a/set/$name" -m "$value"
  done
  wait_until 5 lines_at_least errors.log ${#refusals[@]} || fail "not every refusal reached a/error"
  for entry in "${refusals[@]}"; do
    IFS='|' read -r name value why <<<"$entry"
    topic="a/set/$name"
    line=$(grep -F "\"topic\":\"$topic\"" "$work/errors.log" | grep -F "\"payload\":\"$value\"" || true)
    if [[ "$line" == *"\"error\":\"$why"* ]]; then ok "refused $topic '$value': ${why}…"
    else fail "no refusal of $topic '$value' with '$why' in: $(cat "$work/errors.log")"; fi
  done
  sleep 0.2
  [ "$(in_side a "$bin/tolsa" dump)" = "$before_a" ] || fail "a refused set changed A"
  [ "$(in_side b "$bin/tolsa" dump)" = "$before_b" ] || fail "a refused set changed B"
  kill "$sub_errors"

  # -- the broker dies and comes back: reconnect, birth again, values flow
  stop_broker main
  sleep 0.3
  start_broker main "$port"
  if wait_until 10 retained_is "$port" a/status online && wait_until 10 retained_is "$port" b/status online; then
    ok "both bridges reconnected and said online"
  else
    fail "no reconnect: $(tail -3 "$work/bridge-a.log")"
  fi
  [ "$(retained "$port" a/value/IORSH_Long)" = 123456 ] || fail "no birth after the reconnect: a/value/IORSH_Long is '$(retained "$port" a/value/IORSH_Long)'"
  grep -q "retrying in 100 ms" "$work/bridge-a.log" || fail "no retry logged: $(cat "$work/bridge-a.log")"
  set_value a IORSH_Long 77
  wait_until 5 value_is b IORSH_Long 77 && ok "values flow again after the reconnect" || fail "B did not get 77 after the reconnect"

  # -- mirror both ways: no echo
  kill "$bridge_a" "$bridge_b"; wait "$bridge_a" "$bridge_b" || fail "a bridge did not exit 0 on SIGTERM"
  [ "$(retained "$port" a/status)" = offline ] && ok "SIGTERM: offline, exit 0" || fail "no offline after SIGTERM"
  bridge a bridge-a2.log --broker "mqtt://127.0.0.1:$port" --root a --mirror b --interval 2
  bridge_a=$last_pid
  bridge b bridge-b2.log --broker "mqtt://127.0.0.1:$port" --root b --mirror a --interval 2
  bridge_b=$last_pid
  wait_until 5 retained_is "$port" a/status online && wait_until 5 retained_is "$port" b/status online ||
    fail "the mirroring bridges did not come online"
  sleep 0.3
  subscribe echo.log "$port" -R -t 'a/value/#' -t 'b/value/#'
  local sub_echo=$last_pid
  sleep 0.3
  local i
  for i in 1 2 3 4 5; do
    set_value a IORSH_Long "$((1000 + i))"
    set_value b MEMSH_Setpoint "$i.5"
    sleep 0.02
  done
  wait_until 5 value_is b IORSH_Long 1005 && wait_until 5 value_is a MEMSH_Setpoint 5.5 ||
    fail "mirrored values did not settle: B IORSH_Long=$(get b IORSH_Long), A MEMSH_Setpoint=$(get a MEMSH_Setpoint)"
  sleep 1
  local settled; settled=$(wc -l <"$work/echo.log")
  sleep 1
  local later; later=$(wc -l <"$work/echo.log")
  # Ten writes, each published once by its own side, never back.
  if [ "$later" = "$settled" ] && [ "$settled" = 10 ] &&
     ! grep -q '^b/value/IORSH_Long' "$work/echo.log" && ! grep -q '^a/value/MEMSH_Setpoint' "$work/echo.log"; then
    ok "mirror both ways: $settled messages for 10 writes, none echoed"
  else
    fail "echo: $settled then $later messages: $(sort "$work/echo.log" | uniq -c)"
  fi
  kill "$sub_echo"
  # What A cannot take from the mirror goes to a/error, and changes nothing.
  subscribe mirror-errors.log "$port" -t a/error
  local byte_before; byte_before=$(raw a IORSH_Byte)
  sleep 0.2
  mosquitto_pub -h 127.0.0.1 -p "$port" -t b/value/IORSH_Nope -m 1
  mosquitto_pub -h 127.0.0.1 -p "$port" -t b/value/IORSH_Byte -m 300
  if wait_until 5 lines_at_least mirror-errors.log 2 &&
     grep -q '"topic":"b/value/IORSH_Nope".*"error":"no variable named IORSH_Nope"' "$work/mirror-errors.log" &&
     grep -q '"topic":"b/value/IORSH_Byte".*"error":"cannot set IORSH_Byte (type B): ' "$work/mirror-errors.log"; then
    ok "mirror: an unknown name and a value that does not fit go to a/error"
  else
    fail "mirror refusals: $(cat "$work/mirror-errors.log")"
  fi
  [ "$(raw a IORSH_Byte)" = "$byte_before" ] || fail "a refused mirrored value changed IORSH_Byte to $(raw a IORSH_Byte)"

  # -- kill -9: the broker publishes the will
  kill -9 "$bridge_a"; { wait "$bridge_a"; } 2>/dev/null || true
  wait_until 5 retained_is "$port" a/status offline && ok "kill -9: the will says offline" || fail "no will after kill -9"
  kill "$bridge_b"
  kill "$sub_all"

  # -- bad command lines: status 2, naming what was wrong
  local out status
  for entry in "--broker|http://x|http://x" "--interval|0|--interval" "--password-file|$work/none|$work/none" "--qos|9|--qos"; do
    IFS='|' read -r name value why <<<"$entry"
    status=0; out=$(in_side a "$bin/tolsa-bridge" "$name" "$value" 2>&1) || status=$?
    [ "$status" = 2 ] && [[ "$out" == *"$why"* ]] && ok "$name $value: status 2" || fail "$name $value: status $status, '$out'"
  done

  # -- password authentication
  local aport; aport=$(free_port)
  mosquitto_passwd -c -b "$work/passwords" bridge 'right horse' >/dev/null
  chmod 0644 "$work/passwords"
  start_broker auth "$aport" "password_file $work/passwords" "allow_anonymous false"
  printf 'right horse\n' >"$work/good.pw"; printf 'wrong\n' >"$work/bad.pw"
  bridge a auth-good.log --broker "mqtt://127.0.0.1:$aport" --root auth --username bridge --password-file "$work/good.pw" --qos 1
  local good=$last_pid
  TOLSA_MQTT_PASSWORD='right horse' bridge b auth-env.log --broker "mqtt://127.0.0.1:$aport" --root authenv --username bridge
  local env=$last_pid
  bridge b auth-bad.log --broker "mqtt://127.0.0.1:$aport" --root authbad --username bridge --password-file "$work/bad.pw"
  local bad=$last_pid
  local creds=(-u bridge -P 'right horse')
  wait_until 5 retained_is "$aport" auth/status online "${creds[@]}" && ok "password from a file" || fail "no login with the password file: $(cat "$work/auth-good.log")"
  wait_until 5 retained_is "$aport" authenv/status online "${creds[@]}" && ok "password from TOLSA_MQTT_PASSWORD" || fail "no login with TOLSA_MQTT_PASSWORD: $(cat "$work/auth-env.log")"
  if wait_until 5 grep -q 'retrying in 400 ms' "$work/auth-bad.log" &&
     grep -q 'refused the connection: .*not authori' "$work/auth-bad.log" &&
     grep -q 'retrying in 100 ms' "$work/auth-bad.log" && grep -q 'retrying in 200 ms' "$work/auth-bad.log"; then
    ok "a wrong password: $(head -1 "$work/auth-bad.log")"
  else
    fail "wrong password: $(cat "$work/auth-bad.log")"
  fi
  [ -z "$(retained "$aport" authbad/status "${creds[@]}")" ] || fail "a wrong password got in"
  kill "$good" "$env" "$bad"
  wait "$good" && wait_until 5 retained_is "$aport" auth/status offline "${creds[@]}" &&
    ok "--qos 1: SIGTERM waits for the broker to take offline" || fail "--qos 1: no offline after SIGTERM"
  stop_broker auth

  # -- TLS with a CA made here, and a wrong CA
  local tport; tport=$(free_port)
  (
    cd "$work"
    for ca in ca other; do
      openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 \
        -subj "/CN=tolsa test $ca" -keyout $ca.key -out $ca.crt 2>/dev/null
    done
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 \
      -keyout server.key -out server.csr 2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1\n' >san.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 -extfile san.ext -out server.crt 2>/dev/null
    chmod 0644 server.key
  )
  start_broker tls "$tport" "cafile $work/ca.crt" "certfile $work/server.crt" "keyfile $work/server.key"
  bridge a tls-good.log --broker "mqtts://127.0.0.1:$tport" --root tlsgood --cafile "$work/ca.crt" --json
  good=$last_pid
  bridge b tls-bad.log --broker "mqtts://127.0.0.1:$tport" --root tlsbad --cafile "$work/other.crt"
  bad=$last_pid
  local tls=(--cafile "$work/ca.crt")
  wait_until 5 retained_is "$tport" tlsgood/status online "${tls[@]}" && ok "TLS with the right CA" ||
    fail "no TLS session: $(cat "$work/tls-good.log")"
  local json; json=$(retained "$tport" tlsgood/value/IORSH_Long "${tls[@]}")
  [[ "$json" =~ ^\{\"value\":-?[0-9]+,\"type\":\"L\",\"size\":4,\"index\":6,\"time\":\"20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\.[0-9]{3}Z\"\}$ ]] &&
    ok "--json: $json" || fail "--json payload: '$json'"
  if wait_until 5 grep -q 'retrying in 200 ms' "$work/tls-bad.log" && grep -qi 'certificate verify failed' "$work/tls-bad.log" &&
     [ -z "$(retained "$tport" tlsbad/status "${tls[@]}")" ]; then
    ok "a wrong CA is refused: $(grep -i -m1 'verify' "$work/tls-bad.log")"
  else
    fail "wrong CA: $(cat "$work/tls-bad.log")"
  fi
  kill "$good" "$bad"

  # A broker that asks for a client certificate: --cert and --key.
  local cport; cport=$(free_port)
  (
    cd "$work"
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=bridge \
      -keyout client.key -out client.csr 2>/dev/null
    openssl x509 -req -in client.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 -out client.crt 2>/dev/null
  )
  start_broker certs "$cport" "cafile $work/ca.crt" "certfile $work/server.crt" "keyfile $work/server.key" \
    "require_certificate true"
  bridge a cert-good.log --broker "mqtts://127.0.0.1:$cport" --root certgood --cafile "$work/ca.crt" \
    --cert "$work/client.crt" --key "$work/client.key"
  good=$last_pid
  bridge b cert-none.log --broker "mqtts://127.0.0.1:$cport" --root certnone --cafile "$work/ca.crt"
  bad=$last_pid
  local mine=(--cafile "$work/ca.crt" --cert "$work/client.crt" --key "$work/client.key")
  wait_until 5 retained_is "$cport" certgood/status online "${mine[@]}" && ok "TLS with a client certificate" ||
    fail "no session with --cert/--key: $(cat "$work/cert-good.log")"
  wait_until 5 grep -q 'retrying in 200 ms' "$work/cert-none.log" && [ -z "$(retained "$cport" certnone/status "${mine[@]}")" ] &&
    ok "no client certificate: refused" || fail "without a certificate: $(cat "$work/cert-none.log")"
  kill "$good" "$bad"
}

# ---- wine: tolsa-bridge.exe with its DLL area, and a Linux bridge --------------

run_wine() {
  local port; port=$(free_port)
  local wine_run=${TOLSA_WINE_RUN:?}
  start_broker main "$port"
  export TOLSA_WINEPREFIX="${TOLSA_WINEPREFIX:-/tmp/tolsa-wineprefix-$(id -u)}"
  # A prefix made once, outside, that the side then sees through its overlay.
  "$wine_run" cmd /c exit >/dev/null 2>&1 || true
  new_side linux; new_side win "$TOLSA_WINEPREFIX"
  wexe() { in_side win "$wine_run" "$winbin/$1" "${@:2}"; }

  # The Windows side must see this side's definitions (\kestor\ on the current drive);
  # the tool attaches without start-up, so before the bridge runs it finds the files, no area.
  local info; info=$(wexe tolsa.exe info 2>&1 | tr -d '\r') || true  # exit 3: no area yet
  grep -q 'memsh.mem$' <<<"$info" && ! grep -q '(missing)' <<<"$info" ||
    { fail "tolsa.exe does not see the test's definitions: $info"; return; }

  # Without TLS in this build, mqtts:// fails at once, with status 2.
  local status=0 out
  out=$(wexe tolsa-bridge.exe --broker mqtts://127.0.0.1:1 2>&1) || status=$?
  [ "$status" = 2 ] && [[ "$out" == *"no TLS support"* ]] && ok "tolsa-bridge.exe: mqtts:// refused at once" ||
    fail "tolsa-bridge.exe mqtts://: status $status, '$out'"

  bridge linux linux.log --broker "mqtt://127.0.0.1:$port" --root lin --mirror win --writable 'IORSH_*' --interval 5
  local lin=$last_pid
  nsenter -t "${side[win]}" -m -i -- "$wine_run" "$winbin/tolsa-bridge.exe" --broker "mqtt://127.0.0.1:$port" --root win --mirror lin \
    --writable 'IORSH_*' --interval 5 >"$work/win.log" 2>&1 &
  local win=$!
  pids+=($win)
  wait_until 30 retained_is "$port" win/status online || fail "tolsa-bridge.exe did not come online: $(cat "$work/win.log")"
  wait_until 5 retained_is "$port" lin/status online || fail "the Linux bridge did not come online"

  # Linux -> Windows: every letter, read back through tolsa.exe.
  local entry name value shown names=()
  for entry in "${cases[@]}"; do
    IFS='|' read -r name value shown <<<"$entry"
    set_value linux "$name" "$value"
    names+=("$name")
  done
  linux_raw() { local n; for n in "${names[@]}"; do raw linux "$n"; done; }
  windows_raw() { wexe tolsa.exe get "${names[@]}" --raw | tr -d '\r'; }
  same_everywhere() { [ "$(windows_raw)" = "$(linux_raw)" ]; }
  wait_until 30 same_everywhere && ok "Linux -> tolsa-bridge.exe: every letter with the same bytes in the DLL area" ||
    fail "Linux -> Windows: linux '$(linux_raw)', windows '$(windows_raw)'; $(wexe tolsa.exe list 2>&1); $(cat "$work/win.log")"
  # No echo: the mirrored values went into the Windows bridge's shadow.
  retained_is "$port" win/value/IORSH_Long 0 && ok "tolsa-bridge.exe did not publish mirrored values back" ||
    fail "tolsa-bridge.exe published win/value/IORSH_Long=$(retained "$port" win/value/IORSH_Long)"

  # Windows -> Linux: a set through the Windows bridge, and a write in its area.
  subscribe win-errors.log "$port" -t win/error
  sleep 0.2
  mosquitto_pub -h 127.0.0.1 -p "$port" -t win/set/IORSH_Long -m -7
  mosquitto_pub -h 127.0.0.1 -p "$port" -t win/set/MEMSH_Label -m x
  wexe tolsa.exe set MEMSH_Setpoint 2.25 >/dev/null
  wait_until 10 value_is linux IORSH_Long -7 && wait_until 10 value_is linux MEMSH_Setpoint 2.25 &&
    ok "tolsa-bridge.exe -> Linux: a set and a local write" ||
    fail "Windows -> Linux: IORSH_Long=$(get linux IORSH_Long) MEMSH_Setpoint=$(get linux MEMSH_Setpoint); $(cat "$work/win.log")"
  wait_until 10 grep -q 'MEMSH_Label is not writable' "$work/win-errors.log" &&
    ok "tolsa-bridge.exe refuses a set that is not writable" || fail "no refusal from tolsa-bridge.exe"
  kill "$lin" "$win" 2>/dev/null || true
}

case "$mode" in
  native) run_native ;;
  wine) run_wine ;;
  *) echo "usage: $0 native|wine" >&2; exit 2 ;;
esac
[ "$failures" = 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "all bridge checks passed ($mode)"
