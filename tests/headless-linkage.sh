#!/bin/sh
# Fails when one of the given programs needs a window-system library (xcb, xkbcommon, Qt Gui or Qt
# Widgets), directly or through another library: these programs must run where no display is.
if [ "$#" -eq 0 ]; then
    echo "headless-linkage: no program given" >&2
    exit 2
fi
status=0
for program in "$@"; do
    if ! libraries="$(ldd "$program")"; then
        echo "$program: ldd cannot list its libraries" >&2
        status=1
        continue
    fi
    unwanted="$(printf '%s\n' "$libraries" | grep -E '^[[:space:]]*lib(xcb|xkbcommon|Qt6Gui|Qt6Widgets)[.-]')"
    if [ -n "$unwanted" ]; then
        printf '%s needs a window system:\n%s\n' "$program" "$unwanted" >&2
        status=1
    fi
done
exit "$status"
