#!/usr/bin/env bash
# Makes a private certificate authority and server certificates for the TLS tests:
#   test-pki.sh DIR
# DIR/ca.pem (the authority), and a .pem/.key pair each for
#   server      signed by the authority, for 127.0.0.1, ::1 and localhost
#   wronghost   signed by the authority, for wrong.example.invalid only
#   expired     signed by the authority, valid in 2020 only
#   selfsigned  signed by itself, for 127.0.0.1, ::1 and localhost
set -euo pipefail
dir=${1:?usage: test-pki.sh DIR}
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "test-pki: failed: $*" >&2; exit 1; }; }
newkey=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
names='subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost'

quiet openssl req -x509 "${newkey[@]}" -keyout ca.key -out ca.pem -days 3650 \
    -subj "/CN=Quorvel Test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign

printf '%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$names" >good.ext
printf 'subjectAltName=DNS:wrong.example.invalid\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >wrong.ext
sign() { # name extensions common-name
    quiet openssl req -new "${newkey[@]}" -keyout "$1.key" -out "$1.csr" -subj "/CN=$3"
    quiet openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial \
        -out "$1.pem" -days 825 -extfile "$2"
    rm -f "$1.csr"
}
sign server good.ext localhost
sign wronghost wrong.ext wrong.example.invalid

# "openssl x509" cannot date a certificate in the past; "openssl ca" can.
mkdir -p ca.db
: >ca.db/index.txt
echo 1000 >ca.db/serial
cat >ca.cnf <<CNF
[ ca ]
default_ca = test
[ test ]
dir = ./ca.db
database = \$dir/index.txt
serial = \$dir/serial
new_certs_dir = \$dir
certificate = ./ca.pem
private_key = ./ca.key
default_md = sha256
policy = policy
copy_extensions = none
unique_subject = no
[ policy ]
commonName = supplied
[ ext ]
$names
basicConstraints = CA:FALSE
extendedKeyUsage = serverAuth
CNF
quiet openssl req -new "${newkey[@]}" -keyout expired.key -out expired.csr -subj /CN=localhost
quiet openssl ca -batch -config ca.cnf -extensions ext -in expired.csr -out expired.pem \
    -startdate 20200101000000Z -enddate 20210101000000Z -notext
rm -f expired.csr

quiet openssl req -x509 "${newkey[@]}" -keyout selfsigned.key -out selfsigned.pem -days 825 \
    -subj /CN=localhost -addext "$names"
