#!/usr/bin/env bash
# Makes the Debian package of the Linux edition from a build without
# sanitizers (the build runs this; see CMakeLists.txt):
#   scripts/package-deb.sh VERSION QUILLMERE QUILLMERE-CHECK OUT.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
version=$1 saver=$2 check=$3 out=$4
umask 022
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root="$stage/root"

install -D -m 0755 "$saver" "$root/usr/bin/quillmere"
install -D -m 0755 "$check" "$root/usr/bin/quillmere-check"
strip --strip-unneeded "$root/usr/bin/quillmere" "$root/usr/bin/quillmere-check"
install -D -m 0644 "$here/packaging/quillmere-idle.desktop" \
    "$root/usr/share/quillmere/quillmere-idle.desktop"
install -D -m 0644 "$here/packaging/copyright" "$root/usr/share/doc/quillmere/copyright"
# The changelog's first line carries the version being built.
sed "1s/([^)]*)/($version)/" "$here/packaging/changelog" | gzip -9n \
    > "$root/usr/share/doc/quillmere/changelog.gz"
install -D -m 0644 "$here/packaging/quillmere-idle.service" \
    "$root/usr/lib/systemd/user/quillmere-idle.service"
mkdir -p "$root/usr/share/man/man1"
gzip -9n < "$here/packaging/quillmere.1" > "$root/usr/share/man/man1/quillmere.1.gz"
ln -s quillmere.1.gz "$root/usr/share/man/man1/quillmere-check.1.gz"

# The libraries the programs link against, as Debian names their packages.
mkdir -p "$stage/debian"
printf 'Source: quillmere\n\nPackage: quillmere\nArchitecture: any\n' > "$stage/debian/control"
shlibs=$(cd "$stage" && dpkg-shlibdeps -O root/usr/bin/quillmere root/usr/bin/quillmere-check \
    2>/dev/null | sed -n 's/^shlibs:Depends=//p')

mkdir -p "$root/DEBIAN"
cat > "$root/DEBIAN/control" <<CONTROL
Package: quillmere
Version: $version
Architecture: $(dpkg --print-architecture)
Maintainer: The Quillmere developers <maintainers@users.noreply.github.com>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $shlibs, fonts-dejavu-core
Recommends: mame
Section: x11
Priority: optional
Description: screen saver that shows games running in MAME
 Quillmere covers the X screen whenever the X screen saver comes on (or
 when told to), picks a random game from your MAME ROM folder, shows its
 artwork and description, and runs it in MAME for a while, then the next one.
 Escape ends it, Pause skips to the next game, Backspace leaves the game
 running so you can play on. quillmere-check shows what it would choose.
CONTROL
dpkg-deb --root-owner-group -Zxz --build "$root" "$out" >/dev/null
echo "package: $out"
