#!/usr/bin/env bash
# Installs what is missing, builds and installs the program folder into stage/,
# writes a demo configuration unless one exists, and runs the server in the
# foreground on it; with --manager, opens the configuration manager on it instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/bootstrap.sh
# A build folder of its own: reconfiguring the test command's build/ without tests would
# leave its test programs stale, and a later ctest there would run old code.
cmake -S . -B build-run -G Ninja -DKESTO_BUILD_TESTS=OFF >/dev/null
cmake --build build-run -j "$(nproc)"
cmake --install build-run --prefix stage >/dev/null

port=${KESTO_PORT:-2121}
config=$root/stage/cfg/KestoFTP.ini
files=$root/stage/demo
if [ ! -f "$config" ]; then
    mkdir -p "$root/stage/cfg" "$files/PROGRAMS"
    printf 'G0 X0 Y0\r\nM30\r\n' >"$files/PART1.NC"
    printf '@ECHO OFF\r\n' >"$files/SETUP.BAT"
    printf 'O1000\r\nM30\r\n' >"$files/PROGRAMS/O1000.NC"
    cat >"$config" <<INI

## GLOBAL #####################################################################

[GLOBAL]
SYSTEM_ADDRESS	= 127.0.0.1
SYSTEM_PORT	= $port
LOG_LEVEL	= INFORMATIONAL
LOG_FILENAME	= $root/stage/kftpd.log

## USERLIST ###################################################################

[USERLIST]
USERS		= demo

## USERDEMO ###################################################################

[USERDEMO]
NAME		= demo
PASS		= demo
PATH		= $files
ROOT		= Yes
READONLY	= No
SYS		= UNIX
INI
    sed -i 's/$/\r/' "$config"
    echo "Wrote the demo configuration $config"
fi
if [ "${1:-}" = "--manager" ]; then
    echo "KESTO FTP manager on $config"
    exec "$root/stage/KestoFTP"
fi

# An existing configuration keeps its own port: say the one the server will use.
configured=$(sed -n 's/^SYSTEM_PORT[[:space:]]*=[[:space:]]*\([0-9]*\).*/\1/p' "$config" | head -n 1)
port=${configured:-21}

cat <<TXT
KESTO FTP Server on 127.0.0.1:$port (configuration: $config)
  connect:  curl --user demo:demo ftp://127.0.0.1:$port/
            lftp -u demo,demo -p $port 127.0.0.1
  stop:     Ctrl-C here, or: stage/kftpd -s
  log:      stage/KFTPD.LOG (the configured name, upper-cased)
TXT
exec "$root/stage/kftpd" "$config"
