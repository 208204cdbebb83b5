#!/usr/bin/env bash
# Installing folio: `cmake --install` lays out the maker folder as the build has it; the Debian
# package cpack makes installs into a scratch root with dpkg; there the Book image file type is
# known to the desktop and opens in folioPage, a book compiled by the installed folio into any
# folder opens by ./book.exe with the installed reader, and the workbench starts in a maker
# folder of the user's own. Nothing is installed on the machine itself.
#
#   install_test.sh BUILD_DIR SOURCE_DIR
#
# Exit 77 (skipped) when a tool is missing and FOLIO_ALLOW_MISSING_TOOLS=1; otherwise failing.
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
dist=$build/dist/folioMake

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_eq() { # what actual expected
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

for tool in cpack:cmake dpkg:dpkg dpkg-deb:dpkg update-mime-database:shared-mime-info \
  xdg-mime:xdg-utils mimetype:libfile-mimeinfo-perl gio:libglib2.0-bin \
  update-desktop-database:desktop-file-utils desktop-file-validate:desktop-file-utils; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    if [ "${FOLIO_ALLOW_MISSING_TOOLS:-}" = 1 ]; then
      echo "*** WARNING: ${tool%%:*} is missing (apt-get install ${tool#*:}): install test SKIPPED"
      exit 77
    fi
    echo "FAIL: ${tool%%:*} is missing: apt-get install ${tool#*:} (scripts/install-deps.sh)" >&2
    exit 1
  fi
done

T=$(mktemp -d /tmp/folio-install.XXXXXX)
readers=()
cleanup() {
  for pid in "${readers[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$T"
}
trap cleanup EXIT

# ---- cmake --install -------------------------------------------------------------------------

inst=$T/inst
if ! cmake --install "$build" --prefix "$inst" >"$T/install.log" 2>&1; then
  cat "$T/install.log" >&2
  fail "cmake --install failed"
  exit 1
fi
maker=$inst/lib/folio/folioMake
for p in folio folioPage folioNet; do
  [ -L "$inst/bin/$p" ] || fail "bin/$p is no link"
done
expect_eq "bin/folio" "$(readlink -f "$inst/bin/folio")" "$maker/folio"
expect_eq "bin/folioPage" "$(readlink -f "$inst/bin/folioPage")" "$maker/folioPage/folioPage"
expect_eq "bin/folioNet" "$(readlink -f "$inst/bin/folioNet")" "$maker/folioPage/folioNet"
[ -x "$inst/bin/folioMake" ] || fail "bin/folioMake is not executable"

# The installed maker folder is the built one: every installed file is the build's own, byte for
# byte (the programs lose only their build-tree run path), and every entry of the built maker
# folder is there but what using it gathers.
(cd "$maker" && find . -type f | sort) >"$T/installed.txt"
[ -s "$T/installed.txt" ] || fail "nothing installed in $maker"
while read -r f; do
  if [ ! -f "$dist/$f" ]; then
    fail "installed $f is not in the built maker folder"
  elif [ -x "$dist/$f" ] && head -c 4 "$dist/$f" | grep -q ELF; then
    :
  elif ! cmp -s "$dist/$f" "$maker/$f"; then
    fail "installed $f differs from the built one"
  fi
done <"$T/installed.txt"
for f in folioPage/folioPage.dat folioPage/SkinH_VB6.dll folioPage/folioNet.ini Language.lng \
  skin/aero.she list/page/page.html help/help.html chm/hhc libSkinH_VB6.so; do
  [ -f "$maker/$f" ] || fail "the maker folder lacks $f"
done
for f in out Pro.ini; do
  [ -e "$maker/$f" ] && fail "the maker folder holds $f, which the build tree gathered in use"
done
for d in "$inst"/share/applications/*.desktop; do
  desktop-file-validate "$d" || fail "$d is not a valid desktop entry"
done
expect_eq "folioPage's file type" "$(grep '^MimeType=' "$inst/share/applications/folioPage.desktop")" \
  "MimeType=application/x-folio-book;"
for name in folioMake folioPage folioNet; do
  for size in 16 32 48 64 128 256; do
    png=$inst/share/icons/hicolor/${size}x$size/apps/$name.png
    # the PNG signature, then the IHDR chunk's width and height
    expect_eq "$png" "$(od -An -tx1 -N24 "$png" 2>/dev/null | tr -d ' \n')" \
      "89504e470d0a1a0a0000000d49484452$(printf '%08x%08x' "$size" "$size")"
  done
  grep -q '<svg' "$inst/share/icons/hicolor/scalable/apps/$name.svg" || fail "no SVG icon of $name"
done
[ -f "$inst/share/icons/hicolor/48x48/mimetypes/application-x-folio-book.png" ] ||
  fail "no icon for the Book image type"
# The binfmt_misc entry names the reader where this prefix installed it; it stays inactive.
expect_eq "binfmt entry" "$(grep -v '^#' "$inst/share/folio/binfmt.d/folio-book.conf")" \
  ":folio-book:M::MZqFpD=\\x27::$inst/bin/folioPage:"
[ -e "$inst/lib/binfmt.d" ] && fail "a binfmt.d entry that every boot would load"

# ---- the Debian package ----------------------------------------------------------------------

if ! cpack -G DEB -B "$T/pkg" --config "$build/CPackConfig.cmake" >"$T/cpack.log" 2>&1; then
  cat "$T/cpack.log" >&2
  fail "cpack failed"
  exit 1
fi
deb=$(ls "$T"/pkg/folio_*.deb 2>/dev/null | head -1)
if [ -z "$deb" ]; then
  fail "cpack made no folio_*.deb"
  exit 1
fi
dpkg-deb -f "$deb" Package Depends >"$T/control.txt"
grep -q '^Package: folio$' "$T/control.txt" || fail "package name: $(cat "$T/control.txt")"
grep -q 'libqt6webenginecore6' "$T/control.txt" || fail "no Qt WebEngine dependency: $(cat "$T/control.txt")"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q 'postinst' || fail "no postinst in the package"

# A clean root, as in a fresh container: an empty dpkg database and nothing else.
root=$T/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers" \
  "$root/var/log"
: >"$root/var/lib/dpkg/status"
: >"$root/var/lib/dpkg/available"
dpkg_root() {
  dpkg --root="$root" --log="$root/var/log/dpkg.log" --force-not-root \
    --force-script-chrootless --force-depends --force-unsafe-io "$@"
}
if ! dpkg_root -i "$deb" >"$T/dpkg.log" 2>&1; then
  cat "$T/dpkg.log" >&2
  fail "dpkg -i into $root failed"
  exit 1
fi
usr=$root/usr
[ -x "$usr/lib/folio/folioMake/folioPage/folioPage" ] || fail "the package installed no reader"
[ -f "$usr/share/mime/mime.cache" ] || fail "postinst did not update the file types of $root"
expect_eq "package binfmt entry" "$(grep -v '^#' "$usr/share/folio/binfmt.d/folio-book.conf")" \
  ":folio-book:M::MZqFpD=\\x27::/usr/bin/folioPage:"

# A book compiled by the installed folio into a folder of no importance.
mkdir -p "$T/projects"
cp -R "$usr/lib/folio/folioMake/Book" "$T/projects/Book"
mkdir -p "$T/any/where"
if ! "$usr/bin/folio" compile "$T/projects/Book" --out "$T/any/where/" >"$T/compile.log" 2>&1; then
  cat "$T/compile.log" >&2
  fail "the installed folio could not compile the sample"
fi
book=$T/any/where/Book.exe
cp "$usr/lib/folio/folioMake/folioPage/SkinH_VB6.dll" "$T/windows.exe"

# The file type, through both ways xdg-mime asks: the shared-mime-info reader of the generic
# desktop and GIO's (which decides by the name first, so the type must share *.exe).
for desktop in "" GNOME; do
  for f in "$book" "$T/windows.exe"; do
    got=$(XDG_DATA_DIRS=$usr/share:/usr/share XDG_CURRENT_DESKTOP=$desktop xdg-mime query filetype "$f")
    want=application/x-folio-book
    [ "$f" = "$T/windows.exe" ] && want=application/x-ms-dos-executable
    expect_eq "file type of ${f##*/} (desktop '${desktop:-generic}')" "$got" "$want"
  done
done
expect_eq "the application for books" \
  "$(env -i PATH=/usr/bin:/bin HOME="$T/home" XDG_DATA_DIRS="$usr/share" \
    xdg-mime query default application/x-folio-book)" \
  "folioPage.desktop"

# ./Book.exe opens in the installed reader: the launcher execs it (so the process started is the
# reader, with the book as its argument) and the reader keeps running with the book open.
. "$source/tests/tools/waits.sh"
# The process has become the reader, or has ended.
reader_or_gone() { # pid reader
  [ "$(readlink "/proc/$1/exe" 2>/dev/null)" = "$2" ] || ! kill -0 "$1" 2>/dev/null
}
# The reader has shown a page of the book (FOLIO_READER_REPORT: a line per page shown), or ended.
page_shown_or_gone() { # pid report
  grep -q '^WebBook' "$2" 2>/dev/null || ! kill -0 "$1" 2>/dev/null
}
open_book() { # what, then the environment and command as for env -i
  local what=$1
  shift
  rm -f "$T/report.txt"
  (cd "$T/any/where" && exec env -i QT_QPA_PLATFORM=offscreen HOME="$T/home" \
    QTWEBENGINE_DISABLE_SANDBOX=1 FOLIO_READER_REPORT="$T/report.txt" "$@") \
    >"$T/reader.log" 2>&1 &
  local pid=$!
  readers+=("$pid")
  local reader
  reader=$(readlink -f "$usr/bin/folioPage")
  wait_until reader_or_gone "$pid" "$reader"
  if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" != "$reader" ]; then
    fail "$what: ./Book.exe did not start the installed reader: $(cat "$T/reader.log")"
    return
  fi
  # the arguments after the program's own name
  expect_eq "$what: the reader's book" "$(tr '\0' '\n' <"/proc/$pid/cmdline" | tail -n +2)" ./Book.exe
  # Still running once it has shown the book, not only started.
  wait_until page_shown_or_gone "$pid" "$T/report.txt"
  kill -0 "$pid" 2>/dev/null || fail "$what: the reader ended at once: $(cat "$T/reader.log")"
  grep -q '^WebBook' "$T/report.txt" 2>/dev/null ||
    fail "$what: the reader showed no page of the book: $(cat "$T/reader.log")"
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
mkdir -p "$T/home"
open_book "reader on PATH" PATH="$usr/bin:/usr/bin:/bin" ./Book.exe
# With a bare PATH, as execve callers have, the launcher looks where packages put the reader:
# ~/.local/bin (cmake --install --prefix ~/.local), and /usr/local/bin and /usr/bin, where a
# private mount shows the scratch root's reader, leaving the machine's own untouched.
mkdir -p "$T/home/.local/bin"
ln -s "$usr/bin/folioPage" "$T/home/.local/bin/folioPage"
open_book "reader in ~/.local/bin" PATH=/usr/bin:/bin ./Book.exe
rm "$T/home/.local/bin/folioPage"
mkdir -p "$T/localbin"
ln -s "$usr/bin/folioPage" "$T/localbin/folioPage"
if unshare -m --propagation private true 2>/dev/null; then
  open_book "reader where packages install it" PATH=/usr/bin:/bin \
    unshare -m --propagation private sh -c \
    "mount --bind '$T/localbin' /usr/local/bin && exec ./Book.exe"
else
  echo "note: no private mounts here (unshare -m): the bare-PATH start is not tried"
fi

# The workbench starts in a maker folder of the user's own, made from the installed one; a
# stand-in workbench program says which folder it was started from.
fake=$T/fake
mkdir -p "$fake/bin" "$fake/lib/folio/folioMake/folioPage" "$fake/lib/folio/folioMake/list"
cp "$usr/bin/folioMake" "$fake/bin/folioMake"
printf '#!/bin/sh\necho "${0%%/*}"\n' >"$fake/lib/folio/folioMake/folioMake"
chmod 755 "$fake/lib/folio/folioMake/folioMake"
echo installed >"$fake/lib/folio/folioMake/Language.lng"
echo template >"$fake/lib/folio/folioMake/list/page.html"
chmod -R a-w "$fake/lib"
own=$T/home/.local/share/folio/folioMake
expect_eq "workbench folder" "$(env -i HOME="$T/home" PATH=/usr/bin:/bin "$fake/bin/folioMake")" "$own"
expect_eq "the readers in the user's maker folder" "$(readlink "$own/folioPage")" \
  "$fake/lib/folio/folioMake/folioPage"
expect_eq "copied data" "$(cat "$own/list/page.html")" template
echo mine >"$own/Language.lng" || fail "the user's maker folder is not writable"
chmod u+w "$fake/lib/folio/folioMake"
printf '#!/bin/sh\necho "new ${0%%/*}"\n' >"$fake/lib/folio/folioMake/folioMake"
echo added >"$fake/lib/folio/folioMake/Ext.ini"
expect_eq "updated workbench" "$(env -i HOME="$T/home" PATH=/usr/bin:/bin "$fake/bin/folioMake")" \
  "new $own"
expect_eq "the user's own change" "$(cat "$own/Language.lng")" mine
expect_eq "an entry the update added" "$(cat "$own/Ext.ini")" added
chmod -R u+w "$fake"
expect_eq "workbench folder without HOME" \
  "$(env -i PATH=/usr/bin:/bin "$fake/bin/folioMake" 2>&1)" \
  "folioMake: neither HOME nor FOLIO_MAKER_HOME is set: no place for the maker folder"

# Removing the package leaves no program and no file type behind.
dpkg_root -r folio >"$T/remove.log" 2>&1 || fail "dpkg -r failed: $(cat "$T/remove.log")"
[ -e "$usr/bin/folioPage" ] && fail "the reader stayed after removal"
expect_eq "file type after removal" \
  "$(XDG_DATA_DIRS=$usr/share:/usr/share mimetype --brief "$book")" application/x-ms-dos-executable

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "install test passed"
