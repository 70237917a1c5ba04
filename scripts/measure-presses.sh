#!/usr/bin/env bash
# measure-presses.sh: the time from a button press to the changed frame, per button kind, for the portable program
# and for the Windows build under Wine, each on a private Xvfb with its own settings (loopback only). With a second
# tree (an older commit built there) it measures that tree's programs too, back to back with this tree's, in the
# same run and under the same load.
#
# Each run loads GEORGIA with keys, replays a small recording (a position, a route, a steering target and three tags
# from a peer pilot), joins the squad, makes an own tag, clears the messages, then has kestrel-latency press each
# button kind SAMPLES times on the page where its press changes the picture (keys of a pair, or of a cycle, in
# turn) and time each press to the changed frame on the screen.
#
# Usage: scripts/measure-presses.sh [SAMPLES] [BASELINE_TREE]   (SAMPLES: presses per key, default 20, rounded up
#   to a multiple of ten)
#   KESTREL_PRESS_FRONTS="portable windows" chooses the front ends.
# Everything it writes goes to a new folder under /tmp, printed at the end with the table; it ends only what it started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
samples=$(( (${1:-20} + 9) / 10 * 10 )) # a multiple of ten: MODE's five pages and the pairs end where they began
baseline=${2:-}
fronts=${KESTREL_PRESS_FRONTS:-portable windows}
feed=$root/build/native/tools/feed/kestrel-feed
latency=$root/build/native/tools/latency/kestrel-latency
for needed in "$feed" "$latency"; do
  [ -x "$needed" ] || { echo "measure-presses: $needed is not built (make native)" >&2; exit 1; }
done
theatres=$root/build/theatres
[ -s "$theatres/kestrel-georgia.bmp" ] || tools/theatres/make-theatres.sh "$theatres"

work=$(mktemp -d /tmp/kestrel-presses-XXXXXX)
port=$((20000 + $$ % 20000))
peer_port=$((port + 1)) # the recipients file's one peer: nothing listens there, the sends still go out
results=$work/results.tsv
: >"$results"
printf '[1]127.0.0.1:%d\n' "$peer_port" >"$work/recipients"
# The position kestrel-latency keeps sending is the recording's, so the view never moves.
cat >"$work/setup.rec" <<'REC'
0.000	KESTREL MONITOR:Lat=42.300000,Long=43.000000,Compass=0.785,Alt=3000
0.010	KESTREL ROUTE:1,Lat=42.250000,Long=42.900000,Type=1
0.020	KESTREL ROUTE:2,Lat=42.360000,Long=43.080000,Type=1
0.030	KESTREL ROUTE:3,Lat=42.420000,Long=43.040000,Type=2
0.040	KESTREL ROUTE_TO:Lat=42.360000,Long=43.080000
0.050	KESTREL TAG:Lat=42.320000,Long=43.030000,Symb=65793,Squad=1,Pilot=2,Type=0
0.060	KESTREL TAG:Lat=42.280000,Long=43.040000,Symb=65794,Squad=1,Pilot=2,Type=0
0.070	KESTREL TAG:Lat=42.310000,Long=42.960000,Symb=65795,Squad=1,Pilot=2,Type=0
REC

xvfb_pid='' display_pid='' front='' prefix_ready=''
stop_display() {
  if [ -n "$display_pid" ]; then
    if [ "$front" = windows ]; then
      wine taskkill /im kestrel.exe >/dev/null 2>&1 || true
      for _ in $(seq 50); do kill -0 "$display_pid" 2>/dev/null || break; sleep 0.1; done
      wineserver -k 2>/dev/null || true
    fi
    kill -TERM "$display_pid" 2>/dev/null || true
    wait "$display_pid" 2>/dev/null || true
    display_pid=
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
}
trap stop_display EXIT

start_xvfb() {
  local display_file=$1/xvfb-display
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "measure-presses: Xvfb did not start" >&2; exit 1; }
  DISPLAY=:$(head -n 1 "$display_file")
  export DISPLAY
}

# One press that must change the picture, for the steps between the measurements; the tool waits for the
# picture to keep still (300 ms, or the second argument) before it and for the change after it.
press() {
  "$latency" --port "$port" --area 0,0,425,425 --samples 1 --press "$1" --still "${2:-300}" >>"$run/setup.log" 2>&1 ||
    echo "measure-presses: $front $label: setup key $1 changed nothing" | tee -a "$run/setup.log" >&2
}

# measure KIND KEYS NAMES: presses the keys in turn, SAMPLES times each; one result line per key.
measure() {
  local -a keys names
  IFS=, read -r -a keys <<<"$1"
  IFS=, read -r -a names <<<"$2"
  "$latency" --port "$port" --area 0,0,425,425 --samples "$samples" --press "$1" >"$run/tool.txt" 2>&1 || true
  cat "$run/tool.txt" >>"$run/measure.log"
  for i in "${!keys[@]}"; do
    local line
    line=$(grep -F "press ${keys[$i]}:" "$run/tool.txt" || true)
    local figures
    figures=$(sed -n 's/.*: \([0-9]*\) presses, \([0-9]*\) without.*median \([0-9.]*\) ms, 95th percentile \([0-9.]*\) ms, worst \([0-9.]*\) ms/\3\t\4\t\5\t\2/p' <<<"$line")
    [ -n "$figures" ] || figures=$(printf -- '-\t-\t-\t%s' "$samples")
    printf '%s\t%s\t%s\t%s\n' "$front" "$label" "${names[$i]}" "$figures" >>"$results"
  done
}

# Runs one program through the whole sequence: FRONT LABEL PROGRAM
run_one() {
  front=$1 label=$2
  local program=$3
  run=$work/$front-$label
  mkdir -p "$run"
  start_xvfb "$run"
  if [ "$front" = portable ]; then
    mkdir -p "$run/config/kestrel" "$run/state"
    cat >"$run/config/kestrel/settings.ini" <<SETTINGS
UDP Port=$port
MFD Mode=1
OffsetX=0
OffsetY=0
Recipients file=$work/recipients
GEORGIA map=$theatres/kestrel-georgia.bmp
GEORGIA grid=$theatres/kestrel-georgia.grid
SETTINGS
    XDG_CONFIG_HOME=$run/config XDG_STATE_HOME=$run/state XDG_CONFIG_DIRS=$run/system SDL_AUDIODRIVER=dummy \
      "$program" >"$run/display.log" 2>&1 &
    display_pid=$!
  else
    export WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -z "$prefix_ready" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      prefix_ready=1
    fi
    local key='HKLM\Software\Orvel\KESTREL'
    # Every run starts from the same settings: the previous one changed the pilot and squad numbers.
    wine reg delete "$key" /f >/dev/null 2>&1 || true
    wine reg delete 'HKCU\Software\Orvel\KESTREL' /f >/dev/null 2>&1 || true
    setting() { wine reg add "$key" /v "$1" /d "$2" /f >/dev/null 2>&1; }
    setting "UDP Port" "$port"
    setting "MFD Mode" 1
    setting OffsetX 0
    setting OffsetY 0
    setting "Recipients file" "$(winepath -w "$work/recipients")"
    setting "GEORGIA map" "$(winepath -w "$theatres/kestrel-georgia.bmp")"
    setting "GEORGIA grid" "$(winepath -w "$theatres/kestrel-georgia.grid")"
    wine "$program" >"$run/display.log" 2>&1 &
    display_pid=$!
  fi
  local shown=
  for _ in $(seq 300); do
    shown=$(xdotool search --onlyvisible --name '^Corvia v' 2>/dev/null | head -n 1) || true
    [ -n "$shown" ] && break
    sleep 0.1
  done
  [ -n "$shown" ] || { echo "measure-presses: $front $label: the program's window did not appear" >&2; exit 1; }

  # DATABASES, LOAD GEORGIA, back to MONITORING; the flight's state; squad joined; an own tag; no messages left.
  for k in m m m m 3 m; do press "$k"; done
  "$feed" replay --speed max --port "$port" "$work/setup.rec" >>"$run/setup.log" 2>&1
  for k in m m m 0 m m m 0 m m m 7; do press "$k"; done
  # CLEAR MSGS confirms itself with a blinking message for eight seconds: MONITORING once nothing blinks any more.
  press m 1500

  echo "measure-presses: $front $label: $(uptime | sed 's/.*load average/load average/')" | tee -a "$run/measure.log"
  # MONITORING
  measure m MODE # five pages: a multiple of five presses ends where it began
  measure F7 ROUTE
  measure o OPTNS
  measure 0 "SELECT TAG"
  measure Prior,Next "zoom in,zoom out"
  press m # TAGGING
  measure 2 SYNC
  measure F1,F2,F3,F4,F5 "AAA,ARMOR,M.INF,UNKN,AIR"
  measure 6 AFFIL
  press m
  press m # SQUAD GROUP
  measure 8,9 "PID +,PID -"
  measure 6,7 "SQID +,SQID -"
  press m # DATABASES
  measure 9,7 "RESEND TAGS,CLEAR MSGS"
  import -window root -crop 425x425+0+0 +repage "$run/databases.png" 2>/dev/null || true
  stop_display
}

for f in $fronts; do
  if [ "$f" = portable ]; then
    [ -n "$baseline" ] && run_one portable old "$baseline/build/native/kestrel"
    run_one portable new "$root/build/native/kestrel"
  else
    [ -n "$baseline" ] && run_one windows old "$baseline/build/win32/kestrel.exe"
    run_one windows new "$root/build/win32/kestrel.exe"
  fi
done

# The table: per button kind, median / 95th percentile / worst in ms, and the presses that changed nothing.
echo
echo "press to changed frame, ms: median / 95th percentile / worst (misses of $samples)"
awk -F'\t' '
  { key = $1 " " $2; if (!(key in seen)) { seen[key] = 1; cols[++n] = key }
    if (!($3 in rowseen)) { rowseen[$3] = 1; rows[++m] = $3 }
    cell[$3, key] = $4 " / " $5 " / " $6 ($7 > 0 ? " (" $7 " missed)" : "") }
  END {
    printf "| button |"; for (c = 1; c <= n; ++c) printf " %s |", cols[c]; print ""
    printf "|---|"; for (c = 1; c <= n; ++c) printf "---|"; print ""
    for (r = 1; r <= m; ++r) {
      printf "| %s |", rows[r]; for (c = 1; c <= n; ++c) printf " %s |", cell[rows[r], cols[c]]; print ""
    }
  }' "$results" | tee "$work/table.md"
echo "measure-presses: logs, the figures ($results) and a screenshot of each run in $work"
