#!/usr/bin/env bash
# Makes the release of a setup folder (default: sample-setup/) in dist/ (or $KORVEL_DIST_DIR):
#   KorvelSetup-<version>-win64.zip   one folder KorvelSetup-<version>/ with PavonisSetup.exe,
#                                     pavonis.exe and the admin guide ADMIN.md beside the setup
#                                     folder's files, as the wizard expects them
#   KorvelSetup-<version>-x64.msi     the same for Windows Installer: per machine in Program
#                                     Files, one printer by MODEL (packaging/msi/)
#   korvel-setup_<version>_<arch>.deb pavonis built with libcups, the setup folder in
#                                     /usr/share/korvel-setup, its manual page, bash completion,
#                                     copyright, changelog and the tmpfiles.d entry of its lock
#   korvel_printer-<version>.tar.gz   the Ansible role korvel_printer/ with its README, and the
#                                     Ansible section of docs/rollout.md as
#                                     korvel_printer/ROLLOUT.md
#   korvel-printer-app_<version>_<arch>.deb
#                                     the printer application and its service
#                                     (printer_app/packaging/make-deb.sh)
#   SHA256SUMS                        of the five
# The version is the project's (CMakeLists.txt). A setup folder that `pavonis validate` finds
# faults in is refused, with the findings, before anything is packed; its warnings are shown, and
# with --strict (release.sh --strict [SETUP_FOLDER]) refused too.
#
# Signing: when KORVEL_SIGN_CERT and KORVEL_SIGN_KEY name a PEM certificate (with its chain) and
# its unencrypted PEM key, both Windows programs are signed with osslsigncode (SHA-256) before
# they are zipped; KORVEL_SIGN_TIMESTAMP_URL may name an RFC 3161 timestamp server, so that the
# signatures stay valid after the certificate expires.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

die() {
  echo "release: $*" >&2
  exit 1
}

strict=()
if [ "${1:-}" = --strict ]; then
  strict=(--strict)
  shift
fi
# Both named against the caller's folder, before the script moves to the source tree.
setup=$(realpath -e "${1:-$root/sample-setup}") || die "no setup folder ${1:-}"
dist=$(realpath -m "${KORVEL_DIST_DIR:-$root/dist}")
cd "$root"

# A half-given signing set would make an unsigned release that was meant to be signed.
sign_cert=${KORVEL_SIGN_CERT:-}
sign_key=${KORVEL_SIGN_KEY:-}
if [ -n "$sign_cert" ] || [ -n "$sign_key" ]; then
  if [ -z "$sign_cert" ] || [ -z "$sign_key" ]; then
    die "KORVEL_SIGN_CERT and KORVEL_SIGN_KEY are set together or not at all"
  fi
  [ -r "$sign_cert" ] || die "cannot read the certificate $sign_cert"
  [ -r "$sign_key" ] || die "cannot read the key $sign_key"
fi

# Who answers for the Debian package.
maintainer="Korvel Printer Setup <printer-setup@korvel.example>"

scripts/install-deps.sh

echo "== Linux release build"
# Debian's own compiler and linker flags with all of its hardening (fortified functions, stack
# protector, read-only relocations bound at start), as Debian builds its packages.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake --preset release \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build --preset release -j "$(nproc)" --target pavonis korvel-printer-app
pavonis=$root/build/release/console/pavonis
version=$(sed -n 's/^#define KORVEL_VERSION "\(.*\)"$/\1/p' build/release/generated/korvel_version.h)
[ -n "$version" ] || die "no version in build/release/generated/korvel_version.h"

echo "== validate $setup"
if ! findings=$("$pavonis" validate "${strict[@]}" "$setup" 2>&1); then
  echo "$findings" >&2
  die "the setup folder has findings; mend them, then run the release again"
fi
echo "$findings"

echo "== Windows build"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target PavonisSetup pavonis korvel_msi_action

# Every file gets the time of the last commit, so that the same sources make the same zip and
# package (Debian's reproducible builds use the same variable).
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export TZ=UTC
stage=$root/build/release-stage
rm -rf "$stage"
# Everything is made in out/ and moved into dist/ only when all of it was made, so that a step
# that fails leaves the last release as it was, not half of a new one.
out_dir=$stage/out
mkdir -p "$out_dir"
zip_name=KorvelSetup-$version-win64.zip
msi_name=KorvelSetup-$version-x64.msi
arch=$(dpkg --print-architecture)
deb_name=korvel-setup_${version}_$arch.deb

echo "== $zip_name"
top=KorvelSetup-$version
mkdir -p "$stage/zip/$top"
cp -R "$setup/." "$stage/zip/$top/"
for exe in build/win64/app/PavonisSetup.exe build/win64/console/pavonis.exe; do
  out=$stage/zip/$top/$(basename "$exe")
  if [ -n "$sign_cert" ]; then
    osslsigncode sign -certs "$sign_cert" -key "$sign_key" -h sha256 \
      -n "Korvel Printer Driver Setup" \
      ${KORVEL_SIGN_TIMESTAMP_URL:+-ts "$KORVEL_SIGN_TIMESTAMP_URL"} \
      -in "$exe" -out "$out" >/dev/null
  else
    cp "$exe" "$out"
  fi
done
if [ -n "$sign_cert" ]; then
  echo "Signed PavonisSetup.exe and pavonis.exe with $sign_cert."
else
  echo "The Windows programs are unsigned: KORVEL_SIGN_CERT and KORVEL_SIGN_KEY are not set."
fi
install -m 0644 packaging/ADMIN.md "$stage/zip/$top/"
find "$stage/zip" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
# Entries in a fixed order, without the packing machine's owners and extra attributes.
# zip -@ takes one name a line: a name with a line break in it is refused, not split.
if find "$stage/zip" -name $'*\n*' | grep -q .; then
  die "a file name of the setup folder holds a line break"
fi
(cd "$stage/zip" && find "$top" | LC_ALL=C sort | zip -q -X -@ "$out_dir/$zip_name")

echo "== $msi_name"
mkdir "$stage/msi"
cp "$stage/zip/$top/PavonisSetup.exe" "$stage/zip/$top/pavonis.exe" packaging/ADMIN.md \
  build/win64/msi_action/korvel_msi_action.dll "$stage/msi/"
packaging/msi/build-msi.sh "$version" "$stage/msi" "$setup" "$out_dir/$msi_name"

echo "== $deb_name"
# dpkg-shlibdeps reads the source package's debian/control and expects the files in
# debian/<package>/, so the package is laid out in a scratch source tree of that shape.
source_tree=$stage/source
pkg=$source_tree/debian/korvel-setup
install -d -m 0755 "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/share/korvel-setup" \
  "$pkg/usr/share/man/man1" "$pkg/usr/share/bash-completion/completions" \
  "$pkg/usr/share/doc/korvel-setup" "$pkg/usr/lib/tmpfiles.d"
printf 'Source: korvel-setup\n\nPackage: korvel-setup\nArchitecture: any\n' \
  >"$source_tree/debian/control"
install -m 0755 "$pavonis" "$pkg/usr/bin/pavonis"
# As Debian's dh_strip strips a program: no symbols, no compiler notes.
strip --remove-section=.comment --remove-section=.note "$pkg/usr/bin/pavonis"
cp -R "$setup/." "$pkg/usr/share/korvel-setup/"
find "$pkg/usr/share/korvel-setup" -type d -exec chmod 0755 {} +
find "$pkg/usr/share/korvel-setup" -type f -exec chmod 0644 {} +
gzip -9n <packaging/pavonis.1 >"$pkg/usr/share/man/man1/pavonis.1.gz"
install -m 0644 packaging/bash-completion/pavonis "$pkg/usr/share/bash-completion/completions/"
install -m 0644 packaging/debian/copyright packaging/ADMIN.md "$pkg/usr/share/doc/korvel-setup/"
install -m 0644 packaging/tmpfiles.d/korvel-setup.conf "$pkg/usr/lib/tmpfiles.d/"
install -m 0755 packaging/debian/postinst packaging/debian/postrm "$pkg/DEBIAN/"
cat >"$stage/changelog" <<EOF
korvel-setup ($version) stable; urgency=medium

  * Korvel printer setup $version: pavonis, which installs Korvel printers in
    CUPS, with the setup folder of the release.

 -- $maintainer  $(date -R -d "@$SOURCE_DATE_EPOCH")
EOF
gzip -9n <"$stage/changelog" >"$pkg/usr/share/doc/korvel-setup/changelog.gz"
find "$pkg" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

depends=$(cd "$source_tree" && dpkg-shlibdeps -O "$pkg/usr/bin/pavonis" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || die "dpkg-shlibdeps found no dependencies of pavonis"
cat >"$pkg/DEBIAN/control" <<EOF
Package: korvel-setup
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$pkg" | cut -f1)
Depends: $depends
Recommends: cups-daemon
Section: admin
Priority: optional
Description: setup of Korvel dot-matrix printers in CUPS
 pavonis installs the print queue of a Korvel 24-pin or 9-pin dot-matrix
 printer through CUPS without a window, for configuration management and
 scripts: it detects the connected printer, replaces the printer's queue
 (saved first, and put back when the install fails) with the driver of its
 family, and makes it the default. It also lists the supported models and
 checks setup folders.
 .
 The package holds the program and the setup folder it reads, in
 /usr/share/korvel-setup.
EOF
# Names with blanks, such as "Korvel 9pin.ppd", are passed whole.
(cd "$pkg" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$pkg/DEBIAN/md5sums"
chmod 0644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$out_dir/$deb_name" >/dev/null

echo "== the printer application's package"
printer_app_deb=$(printer_app/packaging/make-deb.sh build/release/printer_app/korvel-printer-app \
  "$version" "$out_dir" "$maintainer")

role_name=korvel_printer-$version.tar.gz
echo "== $role_name"
role_tree=$stage/korvel_printer
cp -R deploy/ansible/roles/korvel_printer "$role_tree"
# The guide's section on the role, from its heading to the next heading of the same or a higher
# level, so that whoever gets the role alone also gets how it fits into a rollout.
# Its link to the README points into the source tree; in the tarball the README lies beside it.
awk '/^### A fleet: the Ansible role$/ { on = 1; print; next } on && /^##/ { exit } on' \
  docs/rollout.md | sed 's#](\.\./deploy/ansible/roles/korvel_printer/README\.md)#](README.md)#' \
  >"$role_tree/ROLLOUT.md"
[ -s "$role_tree/ROLLOUT.md" ] || die "no Ansible section in docs/rollout.md"
find "$role_tree" -type d -exec chmod 0755 {} +
find "$role_tree" -type f -exec chmod 0644 {} +
# The same sources make the same bytes: names in a fixed order, the commit's time, no owner of
# the packing machine and no time stamp in the gzip header.
(cd "$stage" &&
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --format=gnu -cf - korvel_printer) | gzip -9n >"$out_dir/$role_name"

(cd "$out_dir" &&
  sha256sum "$zip_name" "$msi_name" "$deb_name" "$role_name" "$printer_app_deb" >SHA256SUMS)
mkdir -p "$dist"
mv -f "$out_dir/$zip_name" "$out_dir/$msi_name" "$out_dir/$deb_name" "$out_dir/$role_name" \
  "$out_dir/$printer_app_deb" "$out_dir/SHA256SUMS" "$dist/"
echo "== release $version in $dist"
(cd "$dist" && stat -c '%n: %s bytes' "$zip_name" "$msi_name" "$deb_name" "$role_name" \
  "$printer_app_deb" SHA256SUMS)
