# The packer's tests; included from tests/CMakeLists.txt. The packer exists only in native
# builds, and so do these.
if(TARGET PackSetupCore)
  if(NOT TARGET GTest::gtest_main)
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)

  add_executable(PackerTests ${CMAKE_CURRENT_LIST_DIR}/PackerTests.cpp)
  target_include_directories(PackerTests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(PackerTests PRIVATE PackSetupCore GTest::gtest_main)
  # The command's tests run the real PackSetup.
  target_compile_definitions(PackerTests PRIVATE PACK_SETUP_PATH="$<TARGET_FILE:PackSetup>")
  add_dependencies(PackerTests PackSetup)
  gtest_discover_tests(PackerTests DISCOVERY_TIMEOUT 60)
endif()
