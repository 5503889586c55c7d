#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is missing.
set -euo pipefail
# clang and its libFuzzer runtime: the tests build the fuzz targets too.
packages=(cmake g++ make qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql fonts-liberation2 openarena-server desktop-file-utils clang libclang-rt-14-dev "$@")
# The desktop's keyring: QtKeychain, the Secret Service library it loads at run time, and for
# the tests a keyring daemon, a session bus of their own (dbus-run-session) and secret-tool.
packages+=(qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon libsecret-tools)
# The team database: libpq's header (the program cuts a connection whose server stopped
# answering), and for the tests a PostgreSQL server they start themselves (as the postgres user
# the package makes), with its psql and its trigram index.
packages+=(libpq-dev postgresql)
# The Debian package (scripts/package.sh) and its test: dpkg-shlibdeps and dpkg-buildflags, the
# package checker, the AppStream checker, man to render the manual page, gzip for it, bash's
# completion library, and zsh to read its completion.
packages+=(dpkg-dev lintian appstream man-db gzip bash-completion zsh)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
