#!/usr/bin/env bash
# Installs what is missing, builds, and starts Telvaro. When no real bus is
# configured, a simulated bus of demo meters is started on a pseudo-terminal
# and the program's settings point at it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# Only the programs; ./test.sh builds the tests and benchmarks.
scripts/build.sh telvaro mbus-sim telvaro-cli telvaro-collect telvaro-users mbus-decode

bin="$PWD/build/bin"
ini="$bin/telvaro.ini"

# The program never creates its account file. On a first run make one with an
# "admin" Administrator whose random password is shown this once.
accounts="$bin/files/users.dat"
if [ ! -e "$accounts" ]; then
  password=""
  while [ ${#password} -lt 10 ]; do
    password+=$(LC_ALL=C tr -dc 'A-Za-z0-9' < <(head -c 64 /dev/urandom))
  done
  password=${password:0:10}
  printf '%s\n' "$password" | "$bin/telvaro-users" "$accounts" add admin Administrator >/dev/null
  new_account="yes"
fi

link="$PWD/build/sim-tty"
sim_pid=""

# A settings file that names another port means a real bus: leave it alone.
configured_port=""
if [ -f "$ini" ]; then
  configured_port=$(sed -n 's/^[Nn][Aa][Mm][Ee][[:space:]]*=[[:space:]]*//p' "$ini" | head -n1 | tr -d '\r' | sed 's/^"\(.*\)"$/\1/')
fi
if [ -z "$configured_port" ] || [ "$configured_port" = "$link" ]; then
  "$bin/mbus-sim" --bus tools/mbus-sim/examples/demo.bus --pty "$link" --quiet &
  sim_pid=$!
  trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.1; done
  if [ ! -f "$ini" ]; then
    printf '[Mbus]\nSearchFrom=0\nSearchTo=15\nTimeout=300\n\n[Com port]\nName=%s\nSpeed=2400\nParity=Even\n' "$link" > "$ini"
  fi
  echo "Simulated M-Bus on $link (tools/mbus-sim/examples/demo.bus)."
  echo "Press Find to scan addresses 0..15: twelve demo meters answer."
fi

# The new account last, framed, so that it is not lost in the build output.
if [ -n "${new_account:-}" ]; then
  cat <<END

  ==========================================================================
    First start: the account file $accounts
    was made with one account. Log in with

        user name:  admin
        password:   $password

    This password is shown only now. Change it with
        $bin/telvaro-users $accounts add admin Administrator
    (see "Accounts" in README.md).
  ==========================================================================

END
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display found (DISPLAY is not set): start Telvaro from a desktop session." >&2
  exit 1
fi
"$bin/telvaro"
