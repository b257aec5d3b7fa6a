#!/usr/bin/env bash
# Installs the build and test tools on a Debian machine when they are missing.
# Safe to run again: it does nothing when every tool is present. A package index that fails to download
# (a mirror in the middle of a sync) is retried a few times; if the install still cannot go through, the
# script says which index was missing and how to try again, and exits non-zero.
set -euo pipefail

have() { command -v "$1" >/dev/null 2>&1; }
pkg_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Whether this kernel runs 32-bit x86 programs at all (its 32-bit emulation can be switched off). Asked of
# a 32-bit program of 96 bytes that only exits with status 42, so that no 32-bit package is needed to know.
runs_32bit() {
    local probe rc=0
    probe=$(mktemp)
    printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    [[ $rc -eq 42 ]]
}

need=()
have i686-w64-mingw32-g++   || need+=(g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686)
have cmake                  || need+=(cmake)
have ninja                  || need+=(ninja-build)
have Xvfb                   || need+=(xvfb)
have nginx                  || need+=(nginx-light)
have xdotool                || need+=(xdotool)
have xwd                    || need+=(x11-apps)
pkg_installed imagemagick   || need+=(imagemagick)
pkg_installed fonts-wqy-zenhei || need+=(fonts-wqy-zenhei)
# A Song face with SimSun's metrics, so dialog units come out under Wine as on a Chinese Windows.
pkg_installed fonts-arphic-gbsn00lp || need+=(fonts-arphic-gbsn00lp)
pkg_installed locales       || need+=(locales)
pkg_installed libgtest-dev  || need+=(libgtest-dev googletest)
pkg_installed python3-pil   || need+=(python3-pil)
have curl                   || need+=(curl)
# The publisher's tools: OpenSSL for digests and signatures, libcurl for the server check; openssl and
# osslsigncode make and sign with the keys and certificates.
pkg_installed libssl-dev    || need+=(libssl-dev)
pkg_installed libcurl4-openssl-dev || need+=(libcurl4-openssl-dev)
have openssl                || need+=(openssl)
have osslsigncode           || need+=(osslsigncode)
have file                   || need+=(file)
if runs_32bit; then
    # Wine runs the 32-bit product itself. Its TLS and CNG signature checks go through GnuTLS, which
    # wine32 only recommends.
    pkg_installed wine32           || need+=(wine wine32)
    pkg_installed libgnutls30:i386 || need+=(libgnutls30:i386)
    foreign_i386=1
else
    # A kernel with its 32-bit emulation off: the Wine tests run a 64-bit build of the same sources
    # (scripts/windows-toolchain.sh), which needs the 64-bit cross compiler, 64-bit Wine and its GnuTLS.
    have x86_64-w64-mingw32-g++    || need+=(g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64)
    pkg_installed wine64           || need+=(wine wine64)
    pkg_installed libgnutls30      || need+=(libgnutls30)
    foreign_i386=0
fi

# apt-get update, tried again after a pause while an index fails (a mirror mid-sync serves a file whose size
# does not match its Release file for a few minutes). Its last output stays in $update_log for the report.
update_log=$(mktemp)
trap 'rm -f "$update_log"' EXIT
update_indexes() {
    local try pause
    for try in 1 2 3 4; do
        if apt-get update -q >"$update_log" 2>&1 && ! grep -q '^\(E\|W\): Failed to fetch' "$update_log"; then
            return 0
        fi
        ((try < 4)) || break
        pause=$((try * 15))
        echo "install-deps: a package index failed to download (try $try of 4); trying again in ${pause} s" >&2
        sleep "$pause"
    done
    echo "install-deps: going on with the package indexes that did download" >&2
}

if ((${#need[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    if ((foreign_i386)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    update_indexes
    if ! apt-get install -y -q --no-install-recommends "${need[@]}"; then
        {
            echo
            echo "install-deps: the packages could not be installed: ${need[*]}"
            if grep -q 'Failed to fetch' "$update_log"; then
                echo "These package indexes failed to download, so apt had an incomplete or older view of them:"
                grep -o 'Failed to fetch [^ ]*' "$update_log" | sed 's/^Failed to fetch /  /' | sort -u
                grep -o '[^ ]*Mirror sync in progress?' "$update_log" | head -1 | grep -q . &&
                    echo "The mirror said it is in the middle of a sync; this passes on its own, usually within an hour."
            fi
            echo "Run this again later:"
            echo "  bash scripts/install-deps.sh"
        } >&2
        exit 1
    fi
fi

# Wine takes the system code pages from the locale it starts in: zh_CN.UTF-8 gives the ANSI code page 936 the
# installer is written for; the code-page tests also run it under zh_TW.UTF-8 (950) and en_US.UTF-8 (1252).
generate=0
for loc in zh_CN zh_TW en_US; do
    locale -a 2>/dev/null | grep -qix "${loc}.utf8" && continue
    sed -i "s/^# *\(${loc}.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${loc}.UTF-8 UTF-8" /etc/locale.gen || echo "${loc}.UTF-8 UTF-8" >> /etc/locale.gen
    generate=1
done
if ((generate)); then
    locale-gen >/dev/null
fi
