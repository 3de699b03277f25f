#!/usr/bin/env bash
# The release of sample-setup/ as scripts/release.sh makes it, signed with a throwaway
# self-signed code-signing certificate, checked as the people who receive it meet it: the
# checksums, the zip's one folder with both programs and the admin guide beside the setup folder's
# files, both programs' signatures and version resources, the installer package's tables (and
# that their check catches planted faults), signature and files, lintian's verdict on the Debian
# package, and the
# package unpacked into a scratch root, whose pavonis finds its setup folder at the packaged place,
# the package installed into another scratch root and purged (logs and lock folder gone, backups
# kept), and the Ansible role's tarball with its README and the guide's section on it.
# Then a setup folder whose file names hold blanks must be released whole, and one with a finding
# must be refused, as must the sample folder's warnings under --strict. Writes below build/release-test/ only, so a
# developer's dist/ is left alone. Ends non-zero on the first fault.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
root=$PWD

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The version as the project sets it, read here from CMakeLists.txt itself, so that what the
# release made of it is held against its one source.
version=$(sed -n 's/^project(KorvelSetup VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in project() of CMakeLists.txt"
IFS=. read -r major minor patch tweak <<<"$version"
numbers="$major, $minor, $patch, ${tweak:-0}"

work=$root/build/release-test
rm -rf "$work"
mkdir -p "$work"
dist=$work/dist
zip=KorvelSetup-$version-win64.zip
msi=KorvelSetup-$version-x64.msi
deb=korvel-setup_${version}_$(dpkg --print-architecture).deb
role=korvel_printer-$version.tar.gz
printer_app_deb=korvel-printer-app_${version}_$(dpkg --print-architecture).deb

echo "== the release, signed with a throwaway certificate"
openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days 2 -subj "/CN=Korvel release test" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
KORVEL_SIGN_CERT=$work/cert.pem KORVEL_SIGN_KEY=$work/key.pem KORVEL_DIST_DIR=$dist \
  scripts/release.sh
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
[ "$(cut -d' ' -f3 "$dist/SHA256SUMS" | sort | tr '\n' ' ')" = \
  "$(printf '%s\n' "$zip" "$msi" "$deb" "$role" "$printer_app_deb" | sort | tr '\n' ' ')" ] ||
  fail "SHA256SUMS lists $(cut -d' ' -f3 "$dist/SHA256SUMS" | tr '\n' ' ')"

echo "== the zip"
unzip -q "$dist/$zip" -d "$work/unzipped"
tops=$(cd "$work/unzipped" && find . -mindepth 1 -maxdepth 1 | tr '\n' ' ')
[ "$tops" = "./KorvelSetup-$version " ] || fail "the zip's top level holds $tops"
top=$work/unzipped/KorvelSetup-$version
diff -r -x PavonisSetup.exe -x pavonis.exe -x ADMIN.md sample-setup "$top" ||
  fail "the zip's setup files are not those of sample-setup/"
cmp -s packaging/ADMIN.md "$top/ADMIN.md" || fail "the zip's ADMIN.md is not packaging/ADMIN.md"
for exe in PavonisSetup.exe pavonis.exe; do
  if ! osslsigncode verify -CAfile "$work/cert.pem" -in "$top/$exe" >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    fail "the signature of $exe"
  fi
  resources=$(x86_64-w64-mingw32-windres -i "$top/$exe" -O rc)
  for line in "FILEVERSION $numbers" "PRODUCTVERSION $numbers" \
    "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
    "VALUE \"CompanyName\", \"Korvel\"" "VALUE \"OriginalFilename\", \"$exe\""; do
    grep -qF "$line" <<<"$resources" || fail "$exe: no $line in its version resource"
  done
  echo "ok: $exe is signed and says version $version"
done

echo "== the installer package"
python3 packaging/msi/check_msi_tables.py "$dist/$msi" || fail "the package's tables"
if ! osslsigncode verify -CAfile "$work/cert.pem" -in "$dist/$msi" >"$work/verify.log" 2>&1; then
  cat "$work/verify.log" >&2
  fail "the signature of $msi"
fi
msiextract -C "$work/msi" "$dist/$msi" >/dev/null
# msiextract lays the files out below their folder in Program Files.
installed="$work/msi/Korvel/Printer Setup"
cmp -s packaging/ADMIN.md "$installed/ADMIN.md" || fail "the package's ADMIN.md"
cmp -s "$top/pavonis.exe" "$installed/pavonis.exe" || fail "the package's pavonis.exe is not the zip's"
diff -r -x PavonisSetup.exe -x pavonis.exe -x ADMIN.md sample-setup "$installed" ||
  fail "the package's setup files are not those of sample-setup/"
# The table check itself catches what wixl is known to get wrong.
for plant in "UPDATE \`CustomAction\` SET \`Source\` = '' WHERE \`Action\` = 'InstallPrinter'" \
  "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 6700 WHERE \`Action\` = 'InstallPrinter'" \
  "UPDATE \`Property\` SET \`Value\` = 'MODEL' WHERE \`Property\` = 'SecureCustomProperties'"; do
  cp "$dist/$msi" "$work/planted.msi"
  msibuild "$work/planted.msi" -q "$plant"
  if python3 packaging/msi/check_msi_tables.py "$work/planted.msi" 2>/dev/null; then
    fail "the table check passed a package after: $plant"
  fi
done
echo "ok: $msi is signed, its tables are sound, it holds the zip's files"

echo "== lintian"
if ! lintian --fail-on error "$dist/$deb" >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log" >&2
  fail "lintian found errors"
fi
grep -v 'running with root privileges' "$work/lintian.log" || true
echo "ok: no errors"

recommends=$(dpkg-deb -f "$dist/$deb" Recommends)
[ "$recommends" = cups-daemon ] || fail "the package recommends '$recommends', not cups-daemon"

echo "== the package unpacked into a scratch root"
dpkg -x "$dist/$deb" "$work/root"
said=$("$work/root/usr/bin/pavonis" --version)
[ "$said" = "pavonis $version" ] || fail "pavonis --version says $said"
models=$("$work/root/usr/bin/pavonis" models) || fail "pavonis models ended with $?"
grep -qF "RV-90" <<<"$models" || fail "pavonis models lists no RV-90: $models"
grep -qF "$work/root/usr/share/korvel-setup/PrinterDriver/9pin/OEMPRINT.INF" <<<"$models" ||
  fail "pavonis models did not read the packaged setup folder: $models"
echo "ok: $said, and its models from $work/root/usr/share/korvel-setup"
cmp -s packaging/ADMIN.md "$work/root/usr/share/doc/korvel-setup/ADMIN.md" ||
  fail "the package's /usr/share/doc/korvel-setup/ADMIN.md"

echo "== the package purged from a scratch root"
# dpkg --root with chrootless maintainer scripts: the scripts run here with DPKG_ROOT set, as
# Debian bootstraps a system, so the purge takes the scratch root's logs, never this machine's.
# The scratch root has none of the package's dependencies.
purge_root=$work/purge-root
mkdir -p "$purge_root/var/lib/dpkg/info" "$purge_root/var/lib/dpkg/updates"
touch "$purge_root/var/lib/dpkg/status"
in_root() { dpkg --root="$purge_root" --force-script-chrootless --force-depends "$@"; }
in_root -i "$dist/$deb" >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "dpkg -i"; }
mkdir -p "$purge_root/var/log/korvel-setup" "$purge_root/var/lib/korvel-setup" \
  "$purge_root/run/korvel-setup"
touch "$purge_root/var/log/korvel-setup/setup-1.log" \
  "$purge_root/var/lib/korvel-setup/Backup-1.txt" "$purge_root/run/korvel-setup/setup.lock"
in_root -P korvel-setup >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "dpkg -P"; }
[ ! -e "$purge_root/var/log/korvel-setup" ] || fail "the purge left the logs"
[ ! -e "$purge_root/run/korvel-setup" ] || fail "the purge left the lock folder"
[ -f "$purge_root/var/lib/korvel-setup/Backup-1.txt" ] || fail "the purge took the backups"
grep -qF "kept in /var/lib/korvel-setup" "$work/purge.log" ||
  fail "the purge did not say where the backups are"
grep -F "korvel-setup:" "$work/purge.log"
echo "ok: logs and lock folder gone, backups kept"

echo "== the printer application's package"
if ! lintian --fail-on error "$dist/$printer_app_deb" >"$work/lintian-app.log" 2>&1; then
  cat "$work/lintian-app.log" >&2
  fail "lintian found errors in $printer_app_deb"
fi
dpkg -x "$dist/$printer_app_deb" "$work/app-root"
said=$("$work/app-root/usr/bin/korvel-printer-app" --version)
[ "$said" = "$version" ] || fail "korvel-printer-app --version says $said"
drivers=$("$work/app-root/usr/bin/korvel-printer-app" drivers)
grep -q '^korvel_24pin ' <<<"$drivers" && grep -q '^korvel_9pin ' <<<"$drivers" ||
  fail "korvel-printer-app drivers lists: $drivers"
printer_app/tests/unit_sandbox_test.sh \
  "$work/app-root/usr/lib/systemd/system/korvel-printer-app.service"
echo "ok: version $said, both drivers, the unit's sandbox"

echo "== the role's tarball"
mkdir "$work/role"
tar -xzf "$dist/$role" -C "$work/role"
for file in tasks/main.yml README.md ROLLOUT.md; do
  [ -s "$work/role/korvel_printer/$file" ] || fail "the role's tarball lacks korvel_printer/$file"
done
diff -r -x ROLLOUT.md deploy/ansible/roles/korvel_printer "$work/role/korvel_printer" ||
  fail "the role's tarball is not deploy/ansible/roles/korvel_printer"
grep -qF "### A fleet: the Ansible role" "$work/role/korvel_printer/ROLLOUT.md" ||
  fail "ROLLOUT.md holds no Ansible section of the guide"
echo "ok: the role with its README and the guide's Ansible section"

echo "== a setup folder whose file names hold blanks"
cp -R sample-setup "$work/blank-setup"
cp tests/data/ppd/korvel.ppd "$work/blank-setup/PrinterDriver/9pin/Korvel 9pin.ppd"
KORVEL_DIST_DIR=$work/blank scripts/release.sh "$work/blank-setup" >"$work/blank.log" 2>&1 ||
  { cat "$work/blank.log" >&2; fail "the release of a setup folder with a blank in a name"; }
# The listings are read whole first: grep -q stops at its match, and a lister still writing then
# dies of a broken pipe, which pipefail would count as a missing file.
listing=$(unzip -l "$work/blank/$zip")
grep -qF "PrinterDriver/9pin/Korvel 9pin.ppd" <<<"$listing" || fail "the zip lacks Korvel 9pin.ppd"
listing=$(dpkg-deb -c "$work/blank/$deb")
grep -qF "9pin/Korvel 9pin.ppd" <<<"$listing" || fail "the package lacks Korvel 9pin.ppd"
echo "ok: released whole"

echo "== a setup folder with a finding"
cp -R sample-setup "$work/faulty-setup"
rm "$work/faulty-setup/PrinterDriver/9pin/oemprint.cat"
if KORVEL_DIST_DIR=$work/refused scripts/release.sh "$work/faulty-setup" >"$work/refused.log" 2>&1
then
  fail "the release packed a setup folder with a finding"
fi
grep -qF "oemprint.cat" "$work/refused.log" || fail "the refusal names no finding"
[ ! -e "$work/refused" ] || fail "the refused release wrote into $work/refused"
echo "ok: refused, with the finding"

echo "== the sample folder's warnings under --strict"
if KORVEL_DIST_DIR=$work/strict scripts/release.sh --strict >"$work/strict.log" 2>&1; then
  fail "the strict release passed the sample folder's empty catalogs"
fi
grep -qF "warning: The catalog file oemprint.cat is empty" "$work/strict.log" ||
  fail "the strict refusal names no warning"
echo "ok: refused, with the warnings"
