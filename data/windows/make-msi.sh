#!/usr/bin/env bash
# Makes Morvane's installer from the folder the morvane-windows target gathers:
#   make-msi.sh VERSION SOURCE_DIR ICON_DIR OUTPUT.msi
# (ICON_DIR holds Morvane.ico).
# wixl builds it from Morvane.wxs; msibuild then adds what wixl has no element for: the
# system PATH entry for morvane-cli (appended on install, and only that part taken out again
# on uninstall) and the summary information's title.
set -euo pipefail
version="$1" source="$2" icons="$3" output="$4"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# wixl takes the files' paths relative to the folder it runs in.
ln -s "$(cd "$source" && pwd)" "$work/files"
ln -s "$(cd "$icons" && pwd)" "$work/icons"
(cd "$work" && wixl --arch x64 -D Version="$version" -D SourceDir=files -D IconDir=icons \
    -o package.msi "$here/Morvane.wxs")

msibuild "$work/package.msi" -q "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \
\`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE, \`Component_\` CHAR(72) NOT NULL \
PRIMARY KEY \`Environment\`)"
# '=' sets the variable, '-' takes the value added out again on uninstall, '*' makes it the
# system's; [~] stands for the value already there.
msibuild "$work/package.msi" -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \
\`Component_\`) VALUES ('MorvanePath', '=-*PATH', '[~];[INSTALLDIR]', 'CommandLine')"
exported="$(cd "$work" && msiinfo export package.msi InstallExecuteSequence)"
for action in RemoveEnvironmentStrings:3300 WriteEnvironmentStrings:5200; do
    if ! grep -q "^${action%%:*}"$'\t' <<<"$exported"; then
        msibuild "$work/package.msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) \
VALUES ('${action%%:*}', ${action##*:})"
    fi
done
mv "$work/package.msi" "$output"
