#!/usr/bin/env bash
# Checks what `cmake --install` puts on a system and the .deb CPack makes:
#   1. installs BUILD into a DESTDIR and compares the file list with the one
#      expected; validates the desktop entry (desktop-file-validate) and the
#      AppStream metainfo (appstreamcli, alone and against the installed
#      tree), checks each icon's size and renders each man page with man -l;
#   2. builds the .deb with cpack: the same files, dependencies found by
#      dpkg-shlibdeps;
#   3. as root: installs the .deb with apt-get, runs quorvane-cli from
#      /usr/bin on a small FAT32 volume made with mkfs.fat and mtools
#      (drives, search, undelete compared byte for byte, the volume
#      unchanged) and the wizard under Xvfb until its window shows with the
#      desktop entry's window class; then removes the package and checks
#      every file is gone. Not root: stops after 2 and exits 77.
#
# Usage: tools/package-check.sh [BUILD_DIR]
#   BUILD_DIR (default build-pkg) is configured as a Release build when it
#   has not been configured yet; its man pages are turned on either way.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/${1:-build-pkg}"
app_id=org.quorvane.Quorvane
started=$SECONDS

say() { echo "package-check: $*"; }
fail() {
  say "FAIL: $*" >&2
  exit 1
}

for tool in cmake cpack scdoc desktop-file-validate appstreamcli man dpkg-deb dpkg-shlibdeps \
  mkfs.fat mcopy mmd mdel xvfb-run xdotool sha256sum; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-package-check.XXXXXX")
installed_by_us=0
cleanup() {
  if ((installed_by_us)); then
    say "removing the package left installed by a failed check"
    apt-get remove -y quorvane >/dev/null 2>&1 || dpkg -r quorvane >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- Build -------------------------------------------------------------------
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BUILD_UI=ON \
    -DQUORVANE_BUILD_TESTS=OFF >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; fail "cmake could not configure $build"; }
fi
cmake -S "$root" -B "$build" -DQUORVANE_MAN_PAGES=ON >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "cmake could not configure $build with the man pages"; }
cmake --build "$build" --target quorvane quorvane-cli man_pages >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log"; fail "the build failed"; }

sizes=(16 22 24 32 48 64 128 256)
expected=(
  usr/bin/quorvane
  usr/bin/quorvane-cli
  "usr/share/applications/$app_id.desktop"
  "usr/share/metainfo/$app_id.metainfo.xml"
  usr/share/man/man1/quorvane.1
  usr/share/man/man1/quorvane-cli.1
)
for size in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"); done
printf '%s\n' "${expected[@]}" | sort >"$work/expected.list"

same_files() {  # same_files WHAT LIST: LIST holds exactly the expected files
  if ! diff -u "$work/expected.list" "$2" >"$work/files.diff"; then
    cat "$work/files.diff" >&2
    fail "$1 does not hold the expected files (- missing, + extra)"
  fi
}

# --- 1. Install into a DESTDIR ---------------------------------------------
dest="$work/dest"
DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install failed"; }
(cd "$dest" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) >"$work/installed.list"
same_files "cmake --install" "$work/installed.list"
for program in quorvane quorvane-cli; do
  [[ -x $dest/usr/bin/$program ]] || fail "/usr/bin/$program is not executable"
done

desktop="$dest/usr/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 ||
  { cat "$work/desktop.log"; fail "desktop-file-validate rejects $app_id.desktop"; }
grep -qx "Exec=quorvane %f" "$desktop" || fail "the desktop entry does not start /usr/bin/quorvane"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry does not name the installed icon"
appstreamcli validate --no-net "$dest/usr/share/metainfo/$app_id.metainfo.xml" >"$work/metainfo.log" 2>&1 ||
  { cat "$work/metainfo.log"; fail "appstreamcli rejects the metainfo"; }
# The tree as a whole: the metainfo's launchable and icon against the files.
appstreamcli validate-tree --no-net "$dest" >"$work/tree.log" 2>&1 ||
  { cat "$work/tree.log"; fail "appstreamcli rejects the installed tree"; }

png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'; }
for size in "${sizes[@]}"; do
  icon="$dest/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"
  [[ $(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "$icon is no PNG"
  [[ $(png_size "$icon") == "${size}x$size" ]] || fail "the ${size}x$size icon is $(png_size "$icon")"
done

for page in quorvane quorvane-cli; do
  # man -l renders the page as a reader sees it; groff's warnings fail it.
  MANWIDTH=80 man --warnings -l "$dest/usr/share/man/man1/$page.1" >"$work/$page.txt" 2>"$work/$page.err" ||
    fail "man -l cannot render $page.1"
  [[ ! -s $work/$page.err ]] || { cat "$work/$page.err"; fail "man -l warns on $page.1"; }
  grep -q "^ *$page - bring back files deleted from FAT and exFAT volumes" "$work/$page.txt" ||
    fail "$page.1 has no NAME line for $page"
  for section in SYNOPSIS DESCRIPTION 'EXIT STATUS'; do
    grep -qx "$section" "$work/$page.txt" || fail "$page.1 has no $section section"
  done
done
# Every option and command the command line's usage names is in its page.
# --help writes the usage on standard output and exits 0.
"$dest/usr/bin/quorvane-cli" --help >"$work/usage.txt" || fail "quorvane-cli --help exits with a failure status"
"$dest/usr/bin/quorvane-cli" --version | grep -qx 'quorvane-cli [0-9][0-9.]*' ||
  fail "quorvane-cli --version does not print its name and version"
grep -q 'undelete' "$work/usage.txt" || fail "quorvane-cli --help printed no usage: $(cat "$work/usage.txt")"
for word in $(grep -oE '(^|[^[:alnum:]-])-{1,2}[[:alpha:]][[:alnum:]-]*|\b(drives|undelete|search|recover)\b' "$work/usage.txt" |
  sed 's/^[^-[:alpha:]]//' | sort -u); do
  grep -qE -- "(^|[^[:alnum:]-])$word([^[:alnum:]-]|\$)" "$work/quorvane-cli.txt" || fail "quorvane-cli's usage names $word, its man page does not"
done
say "install: ${#expected[@]} files; desktop entry, metainfo, icons and man pages valid"

# --- 2. The .deb -------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1 ||
  { tail -n 40 "$work/cpack.log"; fail "cpack could not build the .deb"; }
debs=("$work"/deb/quorvane_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "cpack made no single quorvane_*.deb: ${debs[*]}"
deb=${debs[0]}
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$work/deb.list"
same_files "the .deb" "$work/deb.list"
depends=$(dpkg-deb -f "$deb" Depends)
depends_on=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for library in libc6 libstdc++6 libblkid1 libsystemd0 libqt6core6 libqt6gui6 libqt6widgets6; do
  grep -qxF "$library" <<<"$depends_on" || fail "the .deb does not depend on $library (Depends: $depends)"
done
say ".deb: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $depends"

# --- 3. Install, run, remove -------------------------------------------------
if ((EUID != 0)); then
  say "not root: the .deb is not installed ($((SECONDS - started)) s)"
  exit 77
fi
# dpkg's state of the package: installed, config-files, ... or nothing.
package_state() { dpkg-query -W -f='${db:Status-Status}' quorvane 2>/dev/null || true; }
[[ -z $(package_state) || $(package_state) == not-installed ]] ||
  fail "a quorvane package is on this machine ($(package_state)); remove it first"
for file in "${expected[@]}"; do
  [[ ! -e /$file ]] || fail "/$file exists before the package is installed"
done

export DEBIAN_FRONTEND=noninteractive
installed_by_us=1
apt-get install -y --no-install-recommends "$deb" >"$work/apt-install.log" 2>&1 ||
  { tail -n 20 "$work/apt-install.log"; fail "apt-get cannot install the .deb"; }
# A minimal system may keep dpkg from unpacking some paths (path-exclude in
# /etc/dpkg/dpkg.cfg.d/, typically the man pages); those are not looked for.
excludes=$(sed -n 's/^path-exclude[= ]*//p' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/* 2>/dev/null || true)
includes=$(sed -n 's/^path-include[= ]*//p' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/* 2>/dev/null || true)
unpacked() {  # unpacked PATH: dpkg unpacks PATH on this system
  local - pattern
  set -f  # the patterns are matched against PATH, not expanded
  for pattern in $includes; do [[ $1 == $pattern ]] && return 0; done
  for pattern in $excludes; do [[ $1 == $pattern ]] && return 1; done
  return 0
}
for file in "${expected[@]}"; do
  if ! unpacked "/$file"; then
    say "dpkg here does not unpack /$file (path-exclude)"
    continue
  fi
  [[ -f /$file ]] || fail "/$file is missing after the install"
  dpkg -S "/$file" 2>/dev/null | grep -q '^quorvane:' || fail "/$file does not belong to the package"
done

# A small FAT32 volume with a deleted file in a directory.
export MTOOLS_SKIP_CHECK=1
image="$work/volume.img"
truncate -s 40M "$image"
mkfs.fat -F 32 -S 512 -s 1 -n PACKAGE "$image" >/dev/null
head -c 70001 /dev/urandom >"$work/original.bin"
mmd -i "$image" ::DOCS
mcopy -i "$image" "$work/original.bin" ::DOCS/REPORT.BIN
mdel -i "$image" ::DOCS/REPORT.BIN
image_sum=$(sha256sum <"$image")

cli=/usr/bin/quorvane-cli
[[ $("$cli" --drive "C:=$image" drives) == "C: $image \"PACKAGE\" FAT32 40.0 MiB" ]] || fail "$cli drives does not print the drive table"
"$cli" --drive "C:=$image" search 'C:\DOCS' >"$work/search.out" 2>"$work/search.err" ||
  { cat "$work/search.err"; fail "$cli search failed"; }
# One row: the path as stored (deleted mark 0xE5, blank-padded name), TAB, size.
printf 'C:\\DOCS\\\xe5EPORT  .BIN\t70001\n' | cmp -s - "$work/search.out" ||
  fail "$cli search does not list just the deleted file: $(cat -v "$work/search.out")"
mkdir "$work/out"
"$cli" --drive "C:=$image" undelete -o "$work/out" 'C:\DOCS\REPORT.BIN' 2>"$work/undelete.err" ||
  { cat "$work/undelete.err"; fail "$cli undelete failed"; }
cmp "$work/original.bin" "$work/out/REPORT.BIN" || fail "the file $cli recovered differs from the original"

# The wizard: its drive table on standard output, then a window of the class
# the desktop entry names, through the X server.
wm_class=$(sed -n 's/^StartupWMClass=//p' "/usr/share/applications/$app_id.desktop")
[[ -n $wm_class ]] || fail "the desktop entry names no window class"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  /usr/bin/quorvane --drive "C:=$1" >"$2/wizard.out" 2>"$2/wizard.err" &
  wizard=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --class "^$3\$" | head -n 1) || true
  kill "$wizard" 2>/dev/null
  wait "$wizard"
  [[ -n $window ]]' _ "$image" "$work" "$wm_class" ||
  { cat "$work/wizard.err" 2>/dev/null; fail "/usr/bin/quorvane showed no window of class $wm_class"; }
[[ $(cat "$work/wizard.out") == "C: $image \"PACKAGE\" FAT32 40.0 MiB" ]] || fail "/usr/bin/quorvane printed no drive table: $(cat "$work/wizard.out")"
[[ $(sha256sum <"$image") == "$image_sum" ]] || fail "the volume changed"
say "installed programs: drives, search and undelete from $cli; the wizard's window shows"

apt-get remove -y quorvane >"$work/apt-remove.log" 2>&1 ||
  { tail -n 20 "$work/apt-remove.log"; fail "apt-get cannot remove the package"; }
installed_by_us=0
[[ -z $(package_state) || $(package_state) == not-installed ]] ||
  fail "the package is still there after apt-get remove ($(package_state))"
for file in "${expected[@]}"; do
  [[ ! -e /$file ]] || fail "/$file is left after the package is removed"
done
say "PASS: installed, ran and removed ($((SECONDS - started)) s)"
