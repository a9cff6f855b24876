#!/usr/bin/env bash
# Checks the export table of a DLL against an exact list of names, read from the file itself:
#   check_exports.sh OBJDUMP DLL NAME...
# Fails when a name is missing, decorated (_Name, Name@N, a C++ mangling) or when anything
# else is exported, and when the table's own DLL name is not the file's name.
set -euo pipefail
objdump="$1"
dll="$2"
shift 2

table="$("$objdump" -p "$dll")"

# The export directory names the DLL that hosts load by that name.
dll_name="$(sed -n 's/^Name[[:space:]]\+[0-9a-fA-F]\+[[:space:]]\+\(.*\)$/\1/p' <<<"$table" | head -n1)"
if [[ "$dll_name" != "$(basename "$dll")" ]]; then
  echo "export directory names '${dll_name}', expected '$(basename "$dll")'" >&2
  exit 1
fi

# The name table: one line per export, "[ n] Name" (newer binutils add columns before the name).
actual="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^[[:space:]]*$/p' <<<"$table" |
          sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]\+\].*[[:space:]]\([^[:space:]]\+\)$/\1/p' |
          LC_ALL=C sort)"
expected="$(printf '%s\n' "$@" | LC_ALL=C sort)"

if [[ "$actual" != "$expected" ]]; then
  echo "exports of $dll differ from the expected set" >&2
  diff <(echo "$expected") <(echo "$actual") | sed -n 's/^< /missing:    /p; s/^> /unexpected: /p' >&2
  exit 1
fi
echo "$(basename "$dll") exports exactly: $(tr '\n' ' ' <<<"$actual")"
