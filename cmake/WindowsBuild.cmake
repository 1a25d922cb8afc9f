# The Windows part of the tree, included by the top-level CMakeLists.txt when the
# target system is Windows.

# GoogleTest from its packaged sources (Debian: googletest), built with this toolchain;
# it defines GTest::gtest and GTest::gtest_main itself.
set(VANTRO_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VANTRO_GOOGLETEST_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# stb's single-file image readers and writers are plain C: the host's copy serves any
# toolchain. Only stb's folder is made visible, never the rest of /usr/include.
set(VANTRO_STB_DIR /usr/include/stb CACHE PATH "stb's headers")
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/stb-include)
file(CREATE_LINK ${VANTRO_STB_DIR} ${PROJECT_BINARY_DIR}/stb-include/stb SYMBOLIC)
add_library(vantro_stb INTERFACE)
target_include_directories(vantro_stb SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/stb-include)

# Tests and test discovery run the .exe files under Wine, in a prefix of this tree's own.
set(VANTRO_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix CACHE PATH "The Wine prefix the tests run in")
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${VANTRO_WINE_PREFIX})

enable_testing()
foreach(dir src/platform src/link src/settings src/discovery apps/peer tests/windows)
  add_subdirectory(${dir})
endforeach()

# The link's write ratio (bench/link_write_ratio.cpp), measured under Wine by
# scripts/windows-tests.sh beside the Linux figure.
add_executable(link_write_ratio bench/link_write_ratio.cpp)
target_link_libraries(link_write_ratio PRIVATE vantro_link)
vantro_warnings(link_write_ratio)
