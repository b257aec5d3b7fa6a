#!/usr/bin/env bash
# Installs the build and test tools on a Debian machine when they are missing.
# Safe to run again: it does nothing when every tool is present.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
pkg_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

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
pkg_installed wine32        || need+=(wine wine32)
have curl                   || need+=(curl)
# The publisher's tools: OpenSSL for digests and signatures, libcurl for the server check; openssl and
# osslsigncode make and sign with the keys and certificates.
pkg_installed libssl-dev    || need+=(libssl-dev)
pkg_installed libcurl4-openssl-dev || need+=(libcurl4-openssl-dev)
have openssl                || need+=(openssl)
have osslsigncode           || need+=(osslsigncode)
have file                   || need+=(file)
# Wine's TLS and CNG signature checks go through GnuTLS, which wine32 only recommends.
pkg_installed libgnutls30:i386 || need+=(libgnutls30:i386)

if ((${#need[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${need[@]}"
fi

# A kernel with its 32-bit emulation off runs no 32-bit Wine: the Wine tests then run a 64-bit build
# (scripts/windows-toolchain.sh), which needs the 64-bit cross compiler, 64-bit Wine and its GnuTLS.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    need=()
    have x86_64-w64-mingw32-g++ || need+=(g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64)
    pkg_installed wine64        || need+=(wine64)
    pkg_installed libgnutls30:amd64 || need+=(libgnutls30:amd64)
    if ((${#need[@]})); then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
    fi
fi

# Wine must run with the ANSI code page 936, which the zh_CN.UTF-8 locale gives.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
    sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
