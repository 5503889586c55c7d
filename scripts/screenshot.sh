#!/usr/bin/env bash
# Takes docs/screenshot.png: the real program under Xvfb, with settings of its own in a
# temporary folder (nothing of the user's is read or written), talking to a real OpenArena
# dedicated server that this script starts on 127.0.0.1 and stops again. The address, port
# and password are typed in, a bot is added, "status" and a "say" with colour codes are sent
# with the Enter key, and the window is captured once the reply is shown.
# Then docs/players.png: more bots join the server, Commands, Players... opens the Players
# window beside the main window, a player is selected and sent a message with the window's
# Message... button, and both windows are captured together.
# Then docs/maps-bans.png: a ban and an exception on the server, the Players window closed,
# Commands, Maps... and Commands, Bans... open beside the main window, "oa_" typed in the Maps
# filter, and the three windows captured together.
# Last docs/servers.png: a second OpenArena server runs beside the first, both saved in the
# Servers window's list (group "fleet"), each given its own password with Add Current Server
# from the main window's boxes (the keyring is a GNOME Keyring on a session bus of the
# script's own), and one "say" is sent to the group; the Servers window is captured with
# both servers live and both answers.
#   scripts/screenshot.sh [output.png] [players.png] [maps-bans.png] [servers.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshot.png}"
players_out="${2:-docs/players.png}"
maps_out="${3:-docs/maps-bans.png}"
servers_out="${4:-docs/servers.png}"

if [ -z "${TELMORAX_SCREENSHOT_INNER:-}" ]; then
  scripts/deps.sh xvfb xauth imagemagick xdotool x11-utils gnome-keyring dbus-daemon
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
  cmake --build build -j 2 --target telmorax
  TELMORAX_SCREENSHOT_INNER=1 exec xvfb-run -a -s "-screen 0 1600x900x24" "$0" "$out" "$players_out" "$maps_out" "$servers_out"
fi

work="$(mktemp -d)"
server_pid=""
server2_pid=""
program_pid=""
bus_pid=""
keyring_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$server2_pid" ] && kill "$server2_pid" 2>/dev/null || true
  [ -n "$keyring_pid" ] && kill "$keyring_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free UDP port on loopback for each server.
free_port() {
  python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port="$(free_port)"
password="shot-$RANDOM$RANDOM"
port2="$(free_port)"
password2="shot2-$RANDOM$RANDOM"

server="$(command -v openarena-server || echo /usr/games/openarena-server)"
start_server() {  # folder port password host-name map
  HOME="$work/$1" "$server" +set dedicated 1 +set net_enabled 1 +set net_ip 127.0.0.1 +set net_port "$2" \
    +set sv_master1 "" +set sv_master2 "" +set sv_master3 "" +set fs_homepath "$work/$1" \
    +set sv_hostname "$4" +set rconpassword "$3" +map "$5" > "$work/$1.log" 2>&1 &
}
start_server server "$port" "$password" "Quillhaven test arena" oa_dm1
server_pid=$!
start_server server2 "$port2" "$password2" "^1Rail ^7Yard" aggressor
server2_pid=$!
for _ in $(seq 100); do grep -q "Resolving" "$work/server.log" 2>/dev/null && break; grep -q "Hunk_Clear" "$work/server.log" 2>/dev/null && break; sleep 0.2; done
sleep 2

# A session bus and a GNOME Keyring of the script's own, for the Servers window's passwords.
mkdir -p "$work/run" "$work/data/Quillhaven/telmorax"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" XDG_DATA_HOME="$work/data"
read -r DBUS_SESSION_BUS_ADDRESS bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | tr '\n' ' '; echo)
export DBUS_SESSION_BUS_ADDRESS
HOME="$work" gnome-keyring-daemon --foreground --unlock --components=secrets <<< "keyring-pw" > /dev/null 2>&1 &
keyring_pid=$!
sleep 1

# The Servers window's list: both servers, in one group (their passwords come later).
cat > "$work/data/Quillhaven/telmorax/servers.json" <<JSON
{ "kind": "telmorax servers", "version": 1, "servers": [
  { "label": "Quillhaven arena", "host": "127.0.0.1", "port": $port, "group": "fleet" },
  { "label": "Rail Yard", "host": "127.0.0.1", "port": $port2, "group": "fleet" } ] }
JSON
chmod 600 "$work/data/Quillhaven/telmorax/servers.json"

# The program's settings: the server above, its password kept (shown only as stars).
mkdir -p "$work/config/Quillhaven"
cat > "$work/config/Quillhaven/Quillhaven.ini" <<INI
[telmorax]
Settings\\ServerAddr=127.0.0.1
Settings\\ServerPort=$port
Settings\\ServerAddr1=127.0.0.1
Settings\\Port1=$port
Settings\\SavePassword=1
Settings\\Password=$password
INI

XDG_CONFIG_HOME="$work/config" build/bin/telmorax &
program_pid=$!
window=""
for _ in $(seq 100); do
  window="$(xdotool search --name "Quillhaven's Vantorin" 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
# Fill the three boxes as a user would (replacing whatever the settings restored), then
# Enter in the command box, which holds "status", presses the default button, Send.
xdotool windowfocus --sync "$window" 2>/dev/null || true
type_into() {  # x y text: click the box at x,y of the window, select all, type
  xdotool mousemove --window "$window" "$1" "$2" click 1
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "$3"
}
type_into 140 33 "127.0.0.1"
type_into 315 33 "$port"
type_into 510 33 "$password"
type_into 250 445 "addbot Sarge 2"
xdotool key Return
sleep 2
xdotool type --delay 20 "status"
xdotool key Return
sleep 1.5
# Colour codes: shown as colours (View, Show Colours).
xdotool type --delay 20 "say ^1red ^2green"
xdotool key Return
sleep 2
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "Wrote $out"

# More bots join the one added above (the server answers about one rcon request a second),
# two of them named with spaces and colour codes.
rcon() {
  python3 - "$port" "$password" "$1" <<'PY'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(1)
s.sendto(b"\xff\xff\xff\xffrcon " + sys.argv[2].encode() + b" " + sys.argv[3].encode(), ("127.0.0.1", int(sys.argv[1])))
try:
    s.recv(65536)
except socket.timeout:
    pass
PY
  sleep 1.2
}
rcon 'addbot Major 2 free 0 "^1Big ^3Bad Wolf"'
rcon "addbot Angelyss 2"
rcon 'addbot Grism 2 free 0 "Mr. ^5Blue^7 Sky"'

# Commands, Players... from the keyboard; the Players window goes beside the main window.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+c
sleep 0.5
xdotool key p
players=""
for _ in $(seq 50); do
  players="$(xdotool search --name "^Players$" 2>/dev/null | head -n 1 || true)"
  [ -n "$players" ] && break
  sleep 0.1
done
[ -n "$players" ] || { echo "the Players window did not appear" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
main_x=$X main_y=$Y main_w=$WIDTH main_h=$HEIGHT
xdotool windowmove "$players" $((main_x + main_w + 8)) "$main_y"
xdotool windowsize "$players" 660 "$main_h"
sleep 3
# The third row selected, and a message sent to that player with Message... (Alt+M).
xdotool mousemove --window "$players" 300 112 click 1
sleep 0.3
xdotool key alt+m
sleep 1
xdotool type --delay 20 "gg; nice rail"
xdotool key Return
sleep 2.5
eval "$(xdotool getwindowgeometry --shell "$players")"
mkdir -p "$(dirname "$players_out")"
import -window root -crop "$((X + WIDTH - main_x))x$((main_h > HEIGHT ? main_h : HEIGHT))+${main_x}+${main_y}" +repage "$players_out"
echo "Wrote $players_out"

# The Maps and Bans windows: a ban and an exception first, then both windows from the keyboard.
rcon "banaddr 203.0.113.0/24"
rcon "exceptaddr 203.0.113.9"
rcon "banaddr 198.51.100.7"
xdotool windowclose "$players" 2>/dev/null || xdotool key --window "$players" Escape
xdotool windowfocus --sync "$window" 2>/dev/null || true
open_window() {  # menu-key title: Commands, then the item's key; prints the new window's id
  xdotool key alt+c
  sleep 0.5
  xdotool key "$1"
  for _ in $(seq 50); do
    found="$(xdotool search --name "^$2\$" 2>/dev/null | head -n 1 || true)"
    [ -n "$found" ] && { echo "$found"; return; }
    sleep 0.1
  done
  echo "the $2 window did not appear" >&2
  exit 1
}
maps="$(open_window m Maps)"
xdotool windowmove "$maps" $((main_x + main_w + 8)) "$main_y"
xdotool windowsize "$maps" 380 "$main_h"
sleep 3
xdotool windowfocus --sync "$maps" 2>/dev/null || true
xdotool type --delay 40 "oa_"
xdotool key Down Down
xdotool windowfocus --sync "$window" 2>/dev/null || true
bans="$(open_window b Bans)"
xdotool windowmove "$bans" $((main_x + main_w + 8 + 380 + 8)) "$main_y"
xdotool windowsize "$bans" 500 "$main_h"
sleep 3
mkdir -p "$(dirname "$maps_out")"
import -window root -crop "$((main_w + 8 + 380 + 8 + 500))x${main_h}+${main_x}+${main_y}" +repage "$maps_out"
echo "Wrote $maps_out"

# Commands, Servers...: the list with both servers live. Each gets its password with Add
# Current Server (Alt+C): the main window's boxes hold the first server, then the second.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+c
sleep 0.5
xdotool key v
servers=""
for _ in $(seq 50); do
  servers="$(xdotool search --name "^Servers$" 2>/dev/null | head -n 1 || true)"
  [ -n "$servers" ] && break
  sleep 0.1
done
[ -n "$servers" ] || { echo "the Servers window did not appear" >&2; exit 1; }
xdotool windowmove "$servers" 0 0
xdotool windowsize "$servers" 1000 620
sleep 1
to_front() {  # there is no window manager: raise and focus by hand
  xdotool windowraise "$1"
  xdotool windowfocus --sync "$1" 2>/dev/null || true
}
to_front "$servers"
xdotool key alt+c
sleep 0.5
to_front "$window"
type_into 315 33 "$port2"
type_into 510 33 "$password2"
to_front "$servers"
xdotool key alt+c
sleep 0.5
# Send to: the group; the command; Enter sends, and the question is answered Yes.
xdotool key alt+t End
xdotool key alt+m
xdotool type --delay 20 "say ^2hello ^7from the ^3fleet"
xdotool key Return
sleep 1
xdotool key alt+y
sleep 3
mkdir -p "$(dirname "$servers_out")"
import -window "$servers" "$servers_out"
echo "Wrote $servers_out"
