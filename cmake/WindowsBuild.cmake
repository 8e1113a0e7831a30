# The Windows builds (mingw-w64): a GUI program that needs nothing but system DLLs, built small.
# Included by cmake/Platform.cmake when the target is Windows.
enable_language(RC)

# The C++ runtime is linked in, so that the program starts on a machine without mingw's DLLs.
add_link_options(-static)

# Small: size-tuned code, one section per function and object so that the linker can drop what
# nothing calls, link-time optimisation across the launcher's libraries, no symbols in the image.
set(release_build $<NOT:$<CONFIG:Debug>>)
set(compiled $<COMPILE_LANGUAGE:C,CXX>)
add_compile_options("$<${compiled}:-ffunction-sections;-fdata-sections>"
                    "$<$<AND:${compiled},${release_build}>:-Os;-flto>")
add_link_options(-Wl,--gc-sections "$<${release_build}:-flto;-s>")

# libstdc++ declares std::string's members as instantiated in the library for C++17 and earlier,
# and the library object that holds them all stays whole in an i686 image: its linker keeps every
# DWARF unwind record, and with each one the function it describes. From C++20 on the members are
# instantiated where they are used, and only those come along (some 29 KiB less).
set(CMAKE_CXX_STANDARD 20)

set(TALVORIN_LAUNCHER_RESOURCES ${PROJECT_SOURCE_DIR}/launcher/resources/Launcher.rc)

# TalvorinWindowsLauncher(TARGET PAYLOAD): the launcher's link map beside it, and its stub size
# (the program less the two stored items) printed by every build that takes it in.
function(TalvorinWindowsLauncher TARGET PAYLOAD)
  get_target_property(sizes ${PAYLOAD} TALVORIN_SIZES_HEADER)
  get_target_property(image ${PAYLOAD} TALVORIN_ZLIB_IMAGE)
  target_link_options(${TARGET} PRIVATE -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/${TARGET}.map)
  add_custom_target(${TARGET}StubSize ALL
    COMMAND ${CMAKE_COMMAND} -DLAUNCHER=$<TARGET_FILE:${TARGET}> -DSIZES_HEADER=${sizes} -DZLIB_IMAGE=${image}
            -P ${PROJECT_SOURCE_DIR}/cmake/WindowsStubSize.cmake
    VERBATIM)
  add_dependencies(${TARGET}StubSize ${TARGET})
endfunction()
