#!/bin/sh
# The Debian package as a school gets it: built with CPack, checked by lintian, unpacked into a
# temporary root (dpkg-deb -x), and the program started from there headless: it finds the help
# file that came with it and opens the identity window.
#   package.sh <build folder> <cpack> <version>
set -eu
build=$1
cpack=$2
version=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

deb="$build/orlenta_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
(cd "$build" && "$cpack" -G DEB --config CPackConfig.cmake >package-cpack.log 2>&1) || {
  cat "$build/package-cpack.log"
  fail "cpack could not build the package"
}
[ -f "$deb" ] || fail "no $deb"
echo "built $deb"

# What the program needs at run time is declared.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6sql6 libqt6sql6-odbc libqt6sql6-sqlite libqt6svg6 qt6-translations-l10n unixodbc libodbc2 \
  libsqliteodbc odbc-postgresql fonts-wqy-microhei; do
  echo "$depends" | grep -Eq "(^|[ ,|])$need( |,|$)" || fail "Depends does not name $need: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = orlenta ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"

command -v lintian >/dev/null || fail "lintian is not installed (scripts/deps.sh installs it)"
lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
# Built with the hardening Debian asks for.
hardening=$(lintian --display-info --tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro,hardening-no-pie \
  "$deb" 2>/dev/null | grep -v 'root privileges' || true)
[ -z "$hardening" ] || fail "lintian: $hardening"

root=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$root"
for file in usr/bin/orlenta usr/bin/orlenta-db usr/share/orlenta/MyHelp.chm usr/share/applications/orlenta.desktop \
  usr/share/icons/hicolor/scalable/apps/orlenta.svg usr/share/man/man1/orlenta.1.gz usr/share/man/man1/orlenta-db.1.gz \
  usr/share/doc/orlenta/copyright usr/share/doc/orlenta/changelog.gz usr/share/doc/orlenta/examples/odbc.ini.postgresql \
  usr/share/doc/orlenta/examples/odbc.ini.sqlite; do
  [ -f "$root/$file" ] || fail "the package has no /$file"
done
grep -qx 'Name\[zh_CN\]=Orlenta 学生学籍管理系统' "$root/usr/share/applications/orlenta.desktop" \
  || fail "the desktop entry has no Chinese name"
grep -qx 'Exec=orlenta' "$root/usr/share/applications/orlenta.desktop" || fail "the desktop entry's command"
zcat "$root/usr/share/man/man1/orlenta-db.1.gz" | grep -q '^\.SH COMMANDS' || fail "orlenta-db.1"

# The database tool runs from the unpacked root: without a command it says how to use it.
status=0
"$root/usr/bin/orlenta-db" >/dev/null 2>"$root/orlenta-db.err" || status=$?
[ "$status" -eq 2 ] && grep -q '^usage: orlenta-db init' "$root/orlenta-db.err" || fail "orlenta-db ($status)"
# Both programs say their version, without a database or a display.
[ "$("$root/usr/bin/orlenta-db" --version)" = "orlenta-db $version" ] || fail "orlenta-db --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/orlenta" --version)" = "orlenta $version" ] || fail "orlenta --version"

# The program, headless, says what it found and showed once it has started.
log="$root/startup.log"
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='orlenta.startup.info=true;qt.qpa.*=false' \
  QT_MESSAGE_PATTERN='%{category}: %{message}' LC_ALL=C.UTF-8 LANG=C.UTF-8 \
  "$root/usr/bin/orlenta" >"$log" 2>&1 &
pid=$!
waited=0
until grep -q '^orlenta.startup: shown:' "$log"; do
  kill -0 "$pid" 2>/dev/null || { cat "$log"; fail "the program ended at start"; }
  [ "$waited" -lt 600 ] || { cat "$log"; fail "the program showed no window within 60 s"; }
  sleep 0.1
  waited=$((waited + 1))
done
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
cat "$log"
grep -qx "orlenta.startup: help file: $root/usr/share/orlenta/MyHelp.chm" "$log" \
  || fail "the program did not find the help file it was installed with"
grep -qx 'orlenta.startup: shown: frmCload "欢迎登陆"' "$log" || fail "the identity window was not shown"
echo "the unpacked program started, found its help file and showed the identity window"
