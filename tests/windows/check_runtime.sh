#!/usr/bin/env bash
# Checks that a folder of Windows binaries is complete: every DLL that a binary in it imports,
# directly or through another DLL of the folder, is either in the folder or part of Windows.
# Also checks that pintovel.dll links the shared C++ runtime (libstdc++ and libgcc as DLLs),
# which its interface needs: host and library share one standard library and one unwinder.
#   check_runtime.sh OBJDUMP FOLDER
set -euo pipefail
objdump="$1"
folder="$2"

# DLLs that every Windows installation provides.
is_system_dll() {
  case "${1,,}" in
    kernel32.dll | msvcrt.dll | ntdll.dll | user32.dll | advapi32.dll | api-ms-win-*.dll) return 0 ;;
    *) return 1 ;;
  esac
}

imports_of() {
  "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*\(.*\)$/\1/p'
}

find_in_folder() {  # Windows looks names up without regard to case
  find "$folder" -maxdepth 1 -type f -iname "$1" -print -quit
}

status=0
declare -A seen=()
queue=("$folder/pintovel.dll")
for binary in "$folder"/*.exe; do
  [[ -e "$binary" ]] && queue+=("$binary")
done
[[ -e "${queue[0]}" ]] || { echo "no pintovel.dll in $folder" >&2; exit 1; }

while ((${#queue[@]})); do
  binary="${queue[0]}"
  queue=("${queue[@]:1}")
  while IFS= read -r dll; do
    [[ -n "$dll" ]] || continue
    if is_system_dll "$dll"; then continue; fi
    found="$(find_in_folder "$dll")"
    if [[ -z "$found" ]]; then
      echo "$(basename "$binary") needs $dll, which is not in $folder" >&2
      status=1
    elif [[ -z "${seen[${dll,,}]:-}" ]]; then
      seen[${dll,,}]=1
      queue+=("$found")
    fi
  done < <(imports_of "$binary")
done

pintovel_imports="$(imports_of "$folder/pintovel.dll" | tr '[:upper:]' '[:lower:]')"
for runtime in 'libstdc++-6.dll' 'libgcc_s_*.dll'; do
  if ! grep -q -x -- "${runtime//\*/.*}" <<<"$pintovel_imports"; then
    echo "pintovel.dll does not import $runtime: the C++ runtime must be linked as DLLs" >&2
    status=1
  fi
done

if ((status == 0)); then
  echo "$folder is complete; DLLs found in it: ${!seen[*]}"
fi
exit $status
