# Packing a setup program and its package file, and building a launcher around the packet.

# The packer and the demo package maker run on the build machine. A native build builds them; a
# cross build is told where a native build keeps them (TALVORIN_HOST_TOOLS: the native build
# folder itself, or a folder that holds both).
set(TALVORIN_HOST_TOOLS "" CACHE PATH "Native build folder (or a folder) with PackSetup and MakeDemoPackage")

# TalvorinHostTool(VAR NAME): the command and the target to depend on for a host tool.
function(TalvorinHostTool VAR NAME)
  if(TALVORIN_HOST_TOOLS)
    find_program(host_tool_${NAME} ${NAME} PATHS ${TALVORIN_HOST_TOOLS} PATH_SUFFIXES tools demo
                 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(${VAR} ${host_tool_${NAME}} PARENT_SCOPE)
    set(${VAR}_TARGET "" PARENT_SCOPE)
  else()
    set(${VAR} $<TARGET_FILE:${NAME}> PARENT_SCOPE)
    set(${VAR}_TARGET ${NAME} PARENT_SCOPE)
  endif()
endfunction()

# TalvorinPackPayload(NAME SETUP PACKAGE [TARGETS…]): packs the two files into
# ${CMAKE_BINARY_DIR}/payloads/NAME/Setup.packet with its sizes header beside it; TARGETS are
# the targets that make the two files, if any.
function(TalvorinPackPayload NAME SETUP PACKAGE)
  set(dir ${CMAKE_BINARY_DIR}/payloads/${NAME})
  TalvorinHostTool(packer PackSetup)
  add_custom_command(
    OUTPUT ${dir}/Setup.packet ${dir}/SetupDataSizes.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${packer} pack ${SETUP} ${PACKAGE} -o ${dir}/Setup.packet --header ${dir}/SetupDataSizes.h
    DEPENDS ${SETUP} ${PACKAGE} ${packer_TARGET} ${ARGN}
    COMMENT "Packing ${NAME}"
    VERBATIM)
endfunction()

# TalvorinPayloadFiles(NAME): the packet and sizes header that TalvorinPackPayload(NAME …) makes.
function(TalvorinPayloadFiles NAME)
  set(${NAME}_PACKET ${CMAKE_BINARY_DIR}/payloads/${NAME}/Setup.packet PARENT_SCOPE)
  set(${NAME}_SIZES ${CMAKE_BINARY_DIR}/payloads/${NAME}/SetupDataSizes.h PARENT_SCOPE)
endfunction()

# AddTalvorinPayload(NAME PACKET SIZES_HEADER ZLIB_IMAGE): an object library that holds the two
# stored items and their size constants.
function(AddTalvorinPayload NAME PACKET SIZES_HEADER ZLIB_IMAGE)
  set(dir ${CMAKE_BINARY_DIR}/payloads/${NAME})
  configure_file(${PROJECT_SOURCE_DIR}/payload/EmbeddedItems.S.in ${dir}/EmbeddedItems.S @ONLY)
  set_source_files_properties(${dir}/EmbeddedItems.S PROPERTIES
    OBJECT_DEPENDS "${PACKET};${SIZES_HEADER};${ZLIB_IMAGE}")
  add_library(${NAME} OBJECT ${dir}/EmbeddedItems.S ${PACKET} ${SIZES_HEADER})
  set_target_properties(${NAME} PROPERTIES TALVORIN_SIZES_HEADER ${SIZES_HEADER} TALVORIN_ZLIB_IMAGE ${ZLIB_IMAGE})
endfunction()

# AddTalvorinLauncher(TARGET PAYLOAD): the launcher executable around a payload object library.
function(AddTalvorinLauncher TARGET PAYLOAD)
  add_executable(${TARGET} WIN32 ${TALVORIN_ENTRY_SOURCE} ${TALVORIN_LAUNCHER_RESOURCES})
  target_link_libraries(${TARGET} PRIVATE ${PAYLOAD} TalvorinSequence)
  if(WIN32)
    TalvorinWindowsLauncher(${TARGET} ${PAYLOAD})
  endif()
endfunction()
