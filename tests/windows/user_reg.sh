#!/usr/bin/env bash
# The options land in the registry where Windows users and administrators look for them:
# HKEY_CURRENT_USER\Software\Kappwerk\Kappwerk\Optionen, read here from the Wine prefix's user.reg.
set -euo pipefail
: "${WINEPREFIX:?the Wine prefix the tests run in}"
bash "$(dirname "$0")/../../scripts/wine-run.sh" "$1" settingsInRegistry
# Wine keeps the registry in memory and writes user.reg when its server ends.
wineserver -w
section=$(awk '/^\[Software\\\\Kappwerk\\\\Kappwerk\\\\Optionen\]/ {on = 1; next} /^\[/ {on = 0} on' \
  "$WINEPREFIX/user.reg")
status=0
for line in '"MaxFileLength.Text"="17"' '"NewFilename.Text"="Wien %#"' '"Rename.Value"="true"' \
            '"Extension.ListIndex"="3"'; do
  if ! grep -qxF "$line" <<<"$section"; then
    echo "FAIL: user.reg lacks $line under [Software\\\\Kappwerk\\\\Kappwerk\\\\Optionen]"
    status=1
  fi
done
[ $status -eq 0 ] && echo "PASS: the options are in user.reg under Software\\Kappwerk\\Kappwerk\\Optionen"
exit $status
