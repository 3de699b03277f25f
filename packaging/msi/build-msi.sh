#!/usr/bin/env bash
# Builds the Windows Installer package of a release with wixl (msitools):
#   build-msi.sh VERSION PROGRAMS_FOLDER SETUP_FOLDER OUTPUT.msi
# PROGRAMS_FOLDER holds PavonisSetup.exe, pavonis.exe, korvel_msi_action.dll and ADMIN.md (the
# programs signed already, when they are to be); SETUP_FOLDER is the setup folder that goes beside
# them. With KORVEL_SIGN_CERT and KORVEL_SIGN_KEY (and KORVEL_SIGN_TIMESTAMP_URL), the action DLL
# and the package are signed with osslsigncode, as release.sh signs the programs.
# The finished tables are checked (check_msi_tables.py): wixl drops some attributes and leaves
# some custom actions empty without a word.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

die() {
  echo "build-msi: $*" >&2
  exit 1
}

[ $# -eq 4 ] || die "usage: build-msi.sh VERSION PROGRAMS_FOLDER SETUP_FOLDER OUTPUT.msi"
version=$1
programs=$(realpath -e "$2")
setup=$(realpath -e "$3")
output=$(realpath -m "$4")
for file in PavonisSetup.exe pavonis.exe korvel_msi_action.dll ADMIN.md; do
  [ -f "$programs/$file" ] || die "no $file in $programs"
done

# The upgrade code names the product for ever; the product code is one per version, made from
# it, so that the same version always gets the same code and a higher one upgrades it.
upgrade_code=6F1C7E52-3B0A-4D7E-9C41-2A7D5B9E0C13
product_code=$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), "Korvel Printer Setup " + sys.argv[2])).upper())' \
  "$upgrade_code" "$version")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/programs"
cp "$programs/PavonisSetup.exe" "$programs/pavonis.exe" "$programs/ADMIN.md" "$work/programs/"
if [ -n "${KORVEL_SIGN_CERT:-}" ]; then
  sign() {
    osslsigncode sign -certs "$KORVEL_SIGN_CERT" -key "$KORVEL_SIGN_KEY" -h sha256 \
      -n "Korvel Printer Setup" ${KORVEL_SIGN_TIMESTAMP_URL:+-ts "$KORVEL_SIGN_TIMESTAMP_URL"} \
      -in "$1" -out "$2" >/dev/null
  }
  sign "$programs/korvel_msi_action.dll" "$work/programs/korvel_msi_action.dll"
else
  cp "$programs/korvel_msi_action.dll" "$work/programs/"
fi

# The setup folder's files, one component each, below the program folder as in the zip. wixl
# takes sources by paths relative to its descriptors, so everything is laid out in one folder.
cp -R "$setup" "$work/setup"
cp "$here/korvel-setup.wxs" "$work/"
(cd "$work" && find setup -type f | LC_ALL=C sort |
  wixl-heat -p setup/ --directory-ref INSTALLDIR --component-group SetupFolder \
    --var var.SetupDir --win64) >"$work/setup-folder.wxs"

(cd "$work" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" \
  -D UpgradeCode="$upgrade_code" -D StageDir=programs -D SetupDir=setup -D Win64=yes \
  -o package.msi korvel-setup.wxs setup-folder.wxs) 2>"$work/wixl.log" ||
  { cat "$work/wixl.log" >&2; die "wixl failed"; }

# What wixl drops: Property/@Secure. A property set on the command line reaches the part of
# msiexec that runs the actions only when it is listed here.
secure="MODEL;PORT;TESTPAGE;SAVED_MODEL;SAVED_PORT;SAVED_TESTPAGE"
secure="$secure;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED"
msibuild "$work/package.msi" \
  -q "UPDATE \`Property\` SET \`Value\` = '$secure' WHERE \`Property\` = 'SecureCustomProperties'"

python3 "$here/check_msi_tables.py" "$work/package.msi"

if [ -n "${KORVEL_SIGN_CERT:-}" ]; then
  sign "$work/package.msi" "$work/signed.msi"
  mv "$work/signed.msi" "$work/package.msi"
fi
mv "$work/package.msi" "$output"
