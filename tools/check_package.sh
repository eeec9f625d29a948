#!/bin/sh
# Builds the Debian package (tools/package.sh) and checks it: the files it installs, its
# desktop entry and metainfo, lintian's verdict (no error, no warning), and that its
# declared dependencies cover every library its programs load.
set -e
cd "$(dirname "$0")/.."
deb=$(tools/package.sh | tail -n 1)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg -x "$deb" "$root"
failed=0
fail() {
  echo "check_package: $*" >&2
  failed=1
}

# The desktop ID is read from the package; the metainfo and the icons must carry it too.
desktop=$(cd "$root" && ls usr/share/applications/*.desktop)
app_id=$(basename "$desktop" .desktop)
programs="tandora"
[ -e "$root/usr/bin/tandora-cli" ] && programs="$programs tandora-cli"
[ -e "$root/usr/bin/tandora-pedal" ] && programs="$programs tandora-pedal"
{
  echo "usr/share/applications/$app_id.desktop"
  echo "usr/share/metainfo/$app_id.metainfo.xml"
  for size in 16 24 32 48 64 128 256 512; do
    echo "usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"
  done
  for program in $programs; do echo "usr/bin/$program"; echo "usr/share/man/man1/$program.1.gz"; done
  echo "usr/share/doc/tandora/changelog.gz"
  echo "usr/share/doc/tandora/copyright"
} | sort >"$scratch/expected"
(cd "$root" && find . -type f | sed 's|^\./||' | sort) >"$scratch/found"
diff -u "$scratch/expected" "$scratch/found" >&2 || fail "the package's files differ from the list above"
grep -q "<id>$app_id</id>" "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo id is not $app_id"

desktop-file-validate "$root/$desktop" || fail "desktop entry invalid"
# Info and pedantic tags are notes, not faults: only errors and warnings fail the check.
lintian --fail-on error,warning "$deb" >&2 || fail "lintian finds errors or warnings (above)"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo invalid"

# Every package the declared ones pull in, installed here (the build needs them all). A name
# no installed package has is a virtual one or an alternative: its installed providers count.
names() { tr ',|' '\n\n' | sed 's/(.*)//; s/:.*//; s/ //g' | grep -v '^$' || true; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
dpkg-query -W -f='${Package} ${Provides}\n' | sed 's/([^)]*)//g; s/,/ /g; s/:[a-z0-9]*//g' >"$scratch/provides"
declared=$(dpkg-deb -f "$deb" Depends | names)
for package in $declared; do
  installed "$package" || fail "declared dependency $package is not installed here"
done
closure=" "
queue=$declared
while [ -n "$queue" ]; do
  next=""
  for package in $queue; do
    case "$closure" in *" $package "*) continue ;; esac
    closure="$closure$package "
    if installed "$package"; then
      next="$next $(dpkg-query -W -f='${Depends}, ${Pre-Depends}' "$package" | names)"
    else
      next="$next $(awk -v name="$package" '{ for (i = 2; i <= NF; i++) if ($i == name) print $1 }' "$scratch/provides")"
    fi
  done
  queue=$next
done

# The package that owns a library ldd found, trying the path and its merged-/usr twin.
owner() {
  for path in "$1" "$(readlink -f "$1")"; do
    case "$path" in /usr/*) twin=${path#/usr} ;; *) twin=/usr$path ;; esac
    for candidate in "$path" "$twin"; do
      found=$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1)
      [ -n "$found" ] && echo "$found" && return 0
    done
  done
  return 0
}
for program in $programs; do
  binary="$root/usr/bin/$program"
  ldd "$binary" >"$scratch/ldd" || fail "ldd cannot read $program"
  if grep "not found" "$scratch/ldd" >&2; then fail "$program misses the libraries above"; fi
  for library in $(sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p; s/^[[:space:]]*\(\/[^ ]*\) .*/\1/p' "$scratch/ldd"); do
    package=$(owner "$library")
    case "$closure" in
      *" $package "*) ;;
      *) fail "$program loads $library (${package:-no package}), which no declared dependency pulls in" ;;
    esac
  done
  # Sanitizer runtimes export their entry points; a shipped program must not carry them.
  if nm -D "$binary" | grep -q ' __[at]san_init'; then fail "$program is a sanitizer build"; fi
done

for program in $programs; do
  "$root/usr/bin/$program" --help >/dev/null || fail "the unpacked $program --help fails"
done

# Qt loads its SQLite driver as a plugin, which ldd does not see: its package must be declared,
# and the unpacked tool must open its song library with it (on the demo pedal, in a data
# folder of its own).
sqlite_driver=$(dpkg -S 'sqldrivers/libqsqlite.so' 2>/dev/null | head -n 1 | cut -d: -f1)
case "$closure" in
  *" $sqlite_driver "*) ;;
  *) fail "Qt's SQLite driver (${sqlite_driver:-no package}) is not among the declared dependencies" ;;
esac
if [ -e "$root/usr/bin/tandora-cli" ]; then
  XDG_DATA_HOME="$scratch/data" QT_QPA_PLATFORM=offscreen "$root/usr/bin/tandora-cli" --demo --demo-speed instant \
    list >/dev/null 2>"$scratch/library.err" || fail "the unpacked tandora-cli --demo list fails"
  if grep -i "song library" "$scratch/library.err" >&2 || ! [ -s "$scratch/data/Tandora/Tandora/library.sqlite" ]; then
    fail "the unpacked tandora-cli cannot open its song library"
  fi
fi

[ "$failed" -eq 0 ] || exit 1
echo "check_package: $(basename "$deb") is complete and its dependencies cover what its programs load"
