# Sourced by the scripts that read or set fields of a Windows executable's headers that objdump shows but cannot
# change: little-endian numbers at file offsets, and the file offset of an address in the loaded image.
# The caller sets `objdump` to the MinGW-w64 objdump to use.

# pe_uint FILE OFFSET BYTES: the unsigned little-endian number of 2 or 4 bytes at OFFSET, in decimal.
pe_uint() {
  od -An -v -t "u$3" --endian=little -j "$2" -N "$3" "$1" | tr -d ' '
}

# pe_put_uint32 FILE OFFSET VALUE: writes VALUE as 4 little-endian bytes at OFFSET, in place.
pe_put_uint32() {
  local value=$3 bytes=
  for _ in 1 2 3 4; do
    bytes+=$(printf '\\x%02x' $((value & 255)))
    value=$((value >> 8))
  done
  printf "$bytes" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# pe_optional_header FILE: the file offset of the optional header, after "PE\0\0" and the 20-byte file header.
pe_optional_header() {
  echo $(($(pe_uint "$1" 60 4) + 24))
}

# pe_file_offset FILE RVA: where the byte at RVA (an address relative to the image base) lies in the file, or
# nothing when no section holds it.
pe_file_offset() {
  local file=$1 rva=$2 image_base sections
  image_base=$("$objdump" -p "$file" | sed -n 's/^ImageBase\t*//p')
  # Section lines of objdump -h: index, name, size, VMA, LMA, file offset, alignment; all numbers in hex. Read whole
  # first: a loop that stops at the section it wants would end a pipe from objdump early (SIGPIPE under pipefail).
  sections=$("$objdump" -h "$file")
  while read -r _ _ size vma _ offset _; do
    [[ $offset =~ ^[0-9a-f]+$ ]] || continue
    local start=$((0x$vma - 0x$image_base))
    if ((rva >= start && rva < start + 0x$size)); then
      echo $((0x$offset + rva - start))
      break
    fi
  done <<<"$sections"
}
