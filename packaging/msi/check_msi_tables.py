#!/usr/bin/env python3
"""Checks the finished tables of the installer package, as msiinfo exports them.

wixl builds some custom-action types with an empty source and reports nothing, places actions
named by After/Before wrongly, and drops Property/@Secure; msiexec then skips or fails what the
package was meant to do, often with exit code 0. So the build fails unless:
  - every custom action has a source, and every DLL action an entry point;
  - every deferred action is sequenced, between InstallInitialize and InstallFinalize;
  - the properties the command line gives are listed in SecureCustomProperties;
  - a downgrade is refused and an older version is removed by the upgrade.
Usage: check_msi_tables.py PACKAGE.msi; prints each fault and ends with 1 when there is one.
"""
import subprocess
import sys

DEFERRED = 0x400
# The base types that name a source: a DLL, EXE or script in the Binary table, a file, a
# directory or a property.
BASE_TYPES_WITH_SOURCE = {1, 2, 5, 6, 17, 18, 19, 21, 22, 34, 35, 37, 38, 50, 51, 53, 54}
COMMAND_LINE_PROPERTIES = ("MODEL", "PORT", "TESTPAGE")


def table(package, name):
    """The rows of a table as dictionaries; none when the table is missing."""
    result = subprocess.run(["msiinfo", "export", package, name], capture_output=True, text=True)
    if result.returncode != 0:
        return []
    lines = result.stdout.split("\r\n" if "\r\n" in result.stdout else "\n")
    columns = lines[0].split("\t")
    # Line 2 holds the column types, line 3 the table's name and keys.
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def faults(package):
    found = []
    actions = table(package, "CustomAction")
    sequence = {row["Action"]: int(row["Sequence"]) for row in table(package, "InstallExecuteSequence")}
    for action in actions:
        kind = int(action["Type"])
        base = kind & 0x3F
        if base in BASE_TYPES_WITH_SOURCE and not action.get("Source"):
            found.append(f"the custom action {action['Action']} has no source")
        if base == 1 and not action.get("Target"):
            found.append(f"the DLL action {action['Action']} names no entry point")
        if kind & DEFERRED:
            at = sequence.get(action["Action"])
            first, last = sequence.get("InstallInitialize"), sequence.get("InstallFinalize")
            if at is None:
                found.append(f"the deferred action {action['Action']} is not sequenced")
            elif first is None or last is None or not first < at < last:
                found.append(f"the deferred action {action['Action']} ({at}) is not between "
                             f"InstallInitialize ({first}) and InstallFinalize ({last})")
    properties = {row["Property"]: row.get("Value", "") for row in table(package, "Property")}
    secure = properties.get("SecureCustomProperties", "").split(";")
    for name in COMMAND_LINE_PROPERTIES:
        if name not in secure:
            found.append(f"{name} is not in SecureCustomProperties")
    upgrades = table(package, "Upgrade")
    if not any(row.get("ActionProperty") == "WIX_DOWNGRADE_DETECTED" for row in upgrades):
        found.append("no Upgrade row detects a newer version")
    launch = [row["Condition"] for row in table(package, "LaunchCondition")]
    if not any("WIX_DOWNGRADE_DETECTED" in condition for condition in launch):
        found.append("no launch condition refuses a downgrade")
    if "RemoveExistingProducts" not in sequence:
        found.append("RemoveExistingProducts is not sequenced: an upgrade would keep the old one")
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    found = faults(sys.argv[1])
    for fault in found:
        print(f"{sys.argv[1]}: {fault}", file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
