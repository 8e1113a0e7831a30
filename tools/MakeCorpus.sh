#!/bin/sh
# Builds the measuring corpus for the packer from files that Debian 12 ships: a setup program
# (the assembler, about 0.9 MB) and a package file (a tar of shared libraries, message
# catalogues, man pages and PNG icons, about 13.5 MB). The tar is made reproducible (sorted
# names, fixed times and owners) so that figures taken on different days can be compared.
#
#   tools/MakeCorpus.sh OUTPUT_FOLDER
#
# writes OUTPUT_FOLDER/Setup.bin and OUTPUT_FOLDER/Package.tar.
set -eu
Out=${1:?usage: MakeCorpus.sh OUTPUT_FOLDER}
mkdir -p "$Out"
Stage=$(mktemp -d)
trap 'rm -rf "$Stage"' EXIT

cp -L /usr/bin/x86_64-linux-gnu-as "$Out/Setup.bin"

mkdir -p "$Stage/lib" "$Stage/locale" "$Stage/man" "$Stage/icons"
for Lib in libcrypto.so.3 libssl.so.3 libstdc++.so.6; do
    cp -L "/usr/lib/x86_64-linux-gnu/$Lib" "$Stage/lib/"
done

# Copies files (names on stdin, in order) into a folder until Budget bytes are reached.
# Names are flattened so that equal base names from different folders do not collide.
TakeUpTo() {
    Folder=$1 Budget=$2 Filter=$3 Total=0
    while IFS= read -r File; do
        [ "$Total" -ge "$Budget" ] && break
        Name=$(printf '%s' "$File" | tr '/' '_')
        if [ "$Filter" = gunzip ]; then
            gzip -dc "$File" > "$Stage/$Folder/${Name%.gz}"
            Size=$(wc -c < "$Stage/$Folder/${Name%.gz}")
        else
            cp -L "$File" "$Stage/$Folder/$Name"
            Size=$(wc -c < "$File")
        fi
        Total=$((Total + Size))
    done
}

# Translations of the same programs into many languages: the same msgids far apart.
ls /usr/share/locale/*/LC_MESSAGES/gtk20.mo /usr/share/locale/*/LC_MESSAGES/glib20.mo 2>/dev/null \
    | LC_ALL=C sort | TakeUpTo locale 2500000 copy
find /usr/share/man/man1 -name '*.gz' | LC_ALL=C sort | TakeUpTo man 1500000 gunzip
# The same icons at several sizes and in symbolic variants.
find /usr/share/icons/Adwaita -name '*.png' | LC_ALL=C sort | TakeUpTo icons 700000 copy

tar --sort=name --mtime=@0 --owner=0 --group=0 --numeric-owner -C "$Stage" -cf "$Out/Package.tar" .
ls -l "$Out/Setup.bin" "$Out/Package.tar"
