# Sourced by the scripts that build the Windows programs and run them under Wine.
#
# The installer is a 32-bit program and is always built as one. Some machines run a kernel whose 32-bit
# emulation is switched off: no 32-bit program starts there, 32-bit Wine included. On such a machine the
# builds that Wine runs (tests and demo) use a 64-bit toolchain on the same sources, run by 64-bit Wine.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    QELMORA_WINE_TOOLCHAIN="$PWD/cmake/mingw-i686.cmake"
else
    QELMORA_WINE_TOOLCHAIN="$PWD/cmake/mingw-x86_64.cmake"
    echo "note: this machine cannot run 32-bit programs; Wine runs a 64-bit build of the same sources" >&2
fi

# configure_for_wine PRESET: configures build/PRESET with the toolchain above, starting its cache anew when
# it was made with the other one.
configure_for_wine() {
    local cache="build/$1/CMakeCache.txt"
    # The entry's type is FILEPATH or, once a later configure has named the file again, UNINITIALIZED.
    if [[ -f "$cache" ]] && ! grep -qxF -e "CMAKE_TOOLCHAIN_FILE:FILEPATH=$QELMORA_WINE_TOOLCHAIN" \
            -e "CMAKE_TOOLCHAIN_FILE:UNINITIALIZED=$QELMORA_WINE_TOOLCHAIN" "$cache"; then
        rm -rf "$cache" "build/$1/CMakeFiles"
    fi
    cmake --preset "$1" -DCMAKE_TOOLCHAIN_FILE="$QELMORA_WINE_TOOLCHAIN" >/dev/null
}
