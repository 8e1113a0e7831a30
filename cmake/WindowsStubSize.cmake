# Prints a launcher's stub size: the program file less the zlib image and the stored packet that
# it carries. Run with -DLAUNCHER=… -DSIZES_HEADER=… -DZLIB_IMAGE=… -P.
file(SIZE ${LAUNCHER} launcher_size)
file(SIZE ${ZLIB_IMAGE} image_size)
file(STRINGS ${SIZES_HEADER} stored_line REGEX "^#define PACKED_STORED_SIZE [0-9]+")
string(REGEX REPLACE "^#define PACKED_STORED_SIZE ([0-9]+).*" "\\1" packet_size "${stored_line}")
if(NOT packet_size MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no PACKED_STORED_SIZE in ${SIZES_HEADER}")
endif()
math(EXPR stub_size "${launcher_size} - ${image_size} - ${packet_size}")
get_filename_component(name ${LAUNCHER} NAME)
message("Stub size of ${name}: ${stub_size} bytes (${launcher_size} less zlib image ${image_size} and packet ${packet_size})")
