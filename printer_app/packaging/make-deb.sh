#!/usr/bin/env bash
# Makes korvel-printer-app_<version>_<arch>.deb of a built program:
#   make-deb.sh PROGRAM VERSION OUT-FOLDER "MAINTAINER"
# The package holds the program, its systemd unit, the sysusers.d entry of its account, the
# tmpfiles.d entry of its folders and the udev rule that gives USB printers to the group lp; its maintainer scripts make both and start the service. It
# depends on korvel-setup of the same version, whose setup folder gives the model table. Prints
# the package's file name. SOURCE_DATE_EPOCH, when set, dates every file.
set -euo pipefail
program=${1:?usage: make-deb.sh PROGRAM VERSION OUT-FOLDER MAINTAINER}
version=${2:?}
out=${3:?}
maintainer=${4:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=$(dpkg --print-architecture)
name=korvel-printer-app_${version}_$arch.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# dpkg-shlibdeps reads the source package's debian/control and expects the files in
# debian/<package>/.
pkg=$work/debian/korvel-printer-app
install -d -m 0755 "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/lib/systemd/system" \
  "$pkg/usr/lib/sysusers.d" "$pkg/usr/lib/tmpfiles.d" "$pkg/usr/lib/udev/rules.d" \
  "$pkg/usr/share/doc/korvel-printer-app"
printf 'Source: korvel-printer-app\n\nPackage: korvel-printer-app\nArchitecture: any\n' \
  >"$work/debian/control"
install -m 0755 "$program" "$pkg/usr/bin/korvel-printer-app"
strip --remove-section=.comment --remove-section=.note "$pkg/usr/bin/korvel-printer-app"
install -m 0644 "$here/korvel-printer-app.service" "$pkg/usr/lib/systemd/system/"
install -m 0644 "$here/korvel-printer-app.sysusers" "$pkg/usr/lib/sysusers.d/korvel-printer-app.conf"
install -m 0644 "$here/korvel-printer-app.tmpfiles" "$pkg/usr/lib/tmpfiles.d/korvel-printer-app.conf"
install -m 0644 "$here/korvel-printer-app.udev" \
  "$pkg/usr/lib/udev/rules.d/70-korvel-printer-app.rules"
install -m 0644 "$here/../../packaging/debian/copyright" "$pkg/usr/share/doc/korvel-printer-app/"
install -m 0755 "$here/postinst" "$here/prerm" "$here/postrm" "$pkg/DEBIAN/"
date=$(date -R -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}")
cat >"$work/changelog" <<CHANGES
korvel-printer-app ($version) stable; urgency=medium

  * Korvel printer application $version: IPP printers for Korvel 24-pin and
    9-pin dot-matrix printers, without PPDs.

 -- $maintainer  $date
CHANGES
gzip -9n <"$work/changelog" >"$pkg/usr/share/doc/korvel-printer-app/changelog.gz"
[ -z "${SOURCE_DATE_EPOCH:-}" ] || find "$pkg" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

depends=$(cd "$work" && dpkg-shlibdeps -O "$pkg/usr/bin/korvel-printer-app" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
cat >"$pkg/DEBIAN/control" <<CONTROL
Package: korvel-printer-app
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$pkg" | cut -f1)
Depends: $depends, korvel-setup (= $version), adduser
Recommends: cups-daemon
Section: admin
Priority: optional
Description: printer application for Korvel dot-matrix printers
 korvel-printer-app is an IPP printer application (PAPPL) that prints on
 Korvel 24-pin and 9-pin dot-matrix printers in their own ESC/P graphics,
 without a PPD: CUPS reaches it through an IPP Everywhere queue. Jobs already
 in the printer's language go to the printer unchanged.
 .
 The service runs as its own account, sandboxed, on localhost port 8631, and
 adds the connected USB printers of the models the setup data lists.
CONTROL
(cd "$pkg" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$pkg/DEBIAN/md5sums"
chmod 0644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
mkdir -p "$out"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$out/$name" >/dev/null
echo "$name"
