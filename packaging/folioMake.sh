#!/bin/sh
# folioMake as installed. The workbench keeps its projects, their list, its settings and its
# out/ folder in the maker folder it runs from (where its own program file lies), which a
# package leaves read-only; so every user works in a maker folder of their own, made from the
# installed one: the data copied once (later changes are the user's and are kept, new entries
# of an updated package are added), the readers, the help compiler and the skin library
# linked, and the workbench program copied whenever the installed one differs.
# FOLIO_MAKER_HOME names another folder for it.
set -u
self=$(readlink -f "$0") || exit 1
installed=$(cd "${self%/*}/../lib/folio/folioMake" 2>/dev/null && pwd -P)
if [ -z "$installed" ] || [ ! -x "$installed/folioMake" ]; then
  echo "folioMake: the installed maker folder ${self%/bin/*}/lib/folio/folioMake is missing" >&2
  exit 1
fi
if [ -n "${FOLIO_MAKER_HOME:-}" ]; then
  maker=$FOLIO_MAKER_HOME
elif [ -n "${XDG_DATA_HOME:-}" ]; then
  maker=$XDG_DATA_HOME/folio/folioMake
elif [ -n "${HOME:-}" ]; then
  maker=$HOME/.local/share/folio/folioMake
else
  echo "folioMake: neither HOME nor FOLIO_MAKER_HOME is set: no place for the maker folder" >&2
  exit 1
fi
fail() {
  echo "folioMake: cannot set up the maker folder $maker: $1" >&2
  exit 1
}
mkdir -p "$maker" || fail "cannot create it"

for entry in "$installed"/* "$installed"/.[!.]*; do
  [ -e "$entry" ] || continue
  name=${entry##*/}
  target=$maker/$name
  case $name in
  folioMake | folio) ;;
  folioPage | chm | libSkinH_VB6.so)
    if [ ! -e "$target" ] && [ ! -L "$target" ]; then
      ln -s "$entry" "$target" || fail "cannot link $name"
    fi
    ;;
  *)
    # Copied under a temporary name first, so a start that is cut short (or a second start
    # at the same moment) never leaves a half-copied entry that would then be kept.
    if [ ! -e "$target" ]; then
      tmp=$maker/.$name.new.$$
      rm -rf "$tmp"
      cp -R "$entry" "$tmp" || fail "cannot copy $name"
      chmod -R u+w "$tmp"
      mv -T "$tmp" "$target" 2>/dev/null || rm -rf "$tmp"
      [ -e "$target" ] || fail "cannot copy $name"
    fi
    ;;
  esac
done

if ! cmp -s "$installed/folioMake" "$maker/folioMake"; then
  tmp=$maker/.folioMake.new.$$
  cp "$installed/folioMake" "$tmp" && chmod 755 "$tmp" && mv -f "$tmp" "$maker/folioMake" ||
    {
      rm -f "$tmp"
      fail "cannot copy the workbench program"
    }
fi
exec "$maker/folioMake" "$@"
