#!/usr/bin/env bash
# Makes the key pair that the signed test build is built with: DIR/private.pem and DIR/public.pem.
# It lives in the build tree only (never committed); an existing pair is kept, so the build is not redone.
set -euo pipefail
dir=${1:?usage: make-test-key.sh DIR}
mkdir -p "$dir"
if [ ! -s "$dir/private.pem" ] || [ ! -s "$dir/public.pem" ]; then
    openssl ecparam -name prime256v1 -genkey -noout -out "$dir/private.pem"
    openssl ec -in "$dir/private.pem" -pubout -out "$dir/public.pem" 2>/dev/null
fi
