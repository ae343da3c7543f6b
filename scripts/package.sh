#!/usr/bin/env bash
# Builds the Debian package dravelkint_VERSION_ARCH.deb: the host, the VST 2.4
# plug-in, the LV2 bundle, the manual page and the bash completion as
# `cmake --install` lays them out under /usr, with Debian's copyright and
# changelog, and the libraries it needs found by dpkg-shlibdeps.
#   scripts/package.sh [OUT_DIR]              configures build/ with the default preset,
#                                             builds what the package holds, writes to OUT_DIR
#   scripts/package.sh --from BUILD [OUT_DIR] packages an already built folder, builds nothing
# OUT_DIR defaults to the project's root. The package's path is printed last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

build=""
if [ "${1:-}" = "--from" ]; then
  [ $# -ge 2 ] || { echo "usage: $0 [--from BUILD] [OUT_DIR]" >&2; exit 2; }
  build=$(cd "$2" && pwd)
  shift 2
fi
out=$(mkdir -p "${1:-$root}" && cd "${1:-$root}" && pwd)

if [ -z "$build" ]; then
  "$root/scripts/install-deps.sh"
  build=$root/build
  (cd "$root" && cmake --preset default >/dev/null)
  cmake --build "$build" -j"$(nproc)" --target dravelkint dravelkint_plugin dravelkint_lv2 dravelkint_manual_page
fi

# The changelog's newest entry names the version; it must be this program's.
version=$(sed -n '1s/^dravelkint (\([^)]*\)).*/\1/p' "$root/packaging/debian/changelog")
program_version=$("$build/dravelkint" --version | sed 's/^dravelkint //')
if [ "${version%-*}" != "$program_version" ]; then
  echo "$0: packaging/debian/changelog is at $version, the program at $program_version" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Where a package's files are staged in a source tree, as dpkg-shlibdeps expects.
stage=$work/debian/dravelkint
DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null
# The compilers' version strings are of no use in an installed binary.
find "$stage/usr/bin" "$stage/usr/lib" -type f \( -perm -u+x -o -name '*.so' \) \
  -exec objcopy --remove-section=.comment {} \;

doc=$stage/usr/share/doc/dravelkint
install -d "$doc/docs"
install -m 644 "$root/README.md" "$doc/README.md"
install -m 644 "$root/docs/demo-picture.png" "$doc/docs/demo-picture.png"  # where README.md shows it from
install -m 644 "$root/packaging/debian/copyright" "$doc/copyright"
gzip -9n -c "$root/packaging/debian/changelog" >"$doc/changelog.Debian.gz"
chmod 644 "$doc/changelog.Debian.gz"

# Libraries are loaded, never run: no execute bits on them.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -name '*.so' -type f -exec chmod 644 {} +

# dpkg-shlibdeps reads the binaries' NEEDED entries; it finds the package's
# root by its DEBIAN folder and wants a source package's control file, even
# for a package built without one.
install -d "$stage/DEBIAN"
printf 'Source: dravelkint\n\nPackage: dravelkint\nArchitecture: any\n' >"$work/debian/control"
mapfile -t objects < <(cd "$work" && find debian/dravelkint/usr/bin debian/dravelkint/usr/lib -type f \( -perm -u+x -o -name '*.so' \))
depends=$(cd "$work" && dpkg-shlibdeps -O "${objects[@]/#/-e}" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "$0: dpkg-shlibdeps found no libraries" >&2; exit 1; }

(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/md5sums"
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCHITECTURE@/$arch/" -e "s/@INSTALLED_SIZE@/$size/" \
  -e "s/@DEPENDS@/$depends/" "$root/packaging/debian/control.in" >"$stage/DEBIAN/control"

deb=$out/dravelkint_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
