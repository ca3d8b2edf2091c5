# What the Windows build needs besides the sources: PCRE2 and GoogleTest built with the
# mingw-w64 compiler, the resources of tavelin.exe, and the test runner under Wine.
enable_language(RC)

# PCRE2 from Debian's source package, built once into this build folder.
set(TAVELIN_PCRE2_PREFIX ${CMAKE_BINARY_DIR}/pcre2/install)
if(NOT EXISTS ${TAVELIN_PCRE2_PREFIX}/lib/libpcre2-32.a)
  message(STATUS "Building PCRE2 for Windows (scripts/build-pcre2-windows.sh)")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TAVELIN_WINDOWS_ARCH=${TAVELIN_WINDOWS_ARCH}
            ${PROJECT_SOURCE_DIR}/scripts/build-pcre2-windows.sh ${CMAKE_BINARY_DIR}
            ${CMAKE_TOOLCHAIN_FILE}
    RESULT_VARIABLE pcre2_result)
  if(NOT pcre2_result EQUAL 0)
    message(FATAL_ERROR "PCRE2 for Windows could not be built")
  endif()
endif()
add_library(tavelin_pcre2 INTERFACE)
target_include_directories(tavelin_pcre2 SYSTEM INTERFACE ${TAVELIN_PCRE2_PREFIX}/include)
target_link_libraries(tavelin_pcre2 INTERFACE ${TAVELIN_PCRE2_PREFIX}/lib/libpcre2-32.a)
target_compile_definitions(tavelin_pcre2 INTERFACE PCRE2_STATIC)

# GoogleTest from Debian's source tree, with this compiler.
if(TAVELIN_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    # GoogleTest's sources are not ours to keep warning-free, nor Shift-JIS.
    target_compile_options(${lib} PRIVATE -w -fexec-charset=UTF-8)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()

# The icon comes from the toolkit-free artwork, drawn by a small program built for (and run
# on) the build machine with its own compiler.
find_program(TAVELIN_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(TAVELIN_ICON_FILE ${CMAKE_BINARY_DIR}/res/tavelin.ico)
set(make_icon ${CMAKE_BINARY_DIR}/res/make-icon)
add_custom_command(
  OUTPUT ${TAVELIN_ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
  COMMAND ${TAVELIN_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR}/src
          ${PROJECT_SOURCE_DIR}/tools/make-icon/main.cc ${PROJECT_SOURCE_DIR}/src/ui/artwork.cc
          -o ${make_icon}
  COMMAND ${make_icon} ${TAVELIN_ICON_FILE}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make-icon/main.cc ${PROJECT_SOURCE_DIR}/src/ui/artwork.cc
          ${PROJECT_SOURCE_DIR}/src/ui/artwork.h ${PROJECT_SOURCE_DIR}/src/ui/controls.h
  COMMENT "Drawing the program icon")
add_custom_target(tavelin_icon DEPENDS ${TAVELIN_ICON_FILE})
# The manifest names the program's architecture, which Windows checks against the program.
if(TAVELIN_WINDOWS_ARCH STREQUAL "x86_64")
  set(TAVELIN_MANIFEST_ARCH amd64)
else()
  set(TAVELIN_MANIFEST_ARCH x86)
endif()
set(TAVELIN_MANIFEST_FILE ${CMAKE_BINARY_DIR}/res/tavelin.manifest)
configure_file(${PROJECT_SOURCE_DIR}/res/windows/tavelin.manifest.in ${TAVELIN_MANIFEST_FILE}
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/res/windows/tavelin.rc.in ${CMAKE_BINARY_DIR}/res/tavelin.rc
               @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/res/tavelin.rc PROPERTIES
  OBJECT_DEPENDS "${TAVELIN_ICON_FILE};${TAVELIN_MANIFEST_FILE}")
set(TAVELIN_WINDOWS_RESOURCES ${CMAKE_BINARY_DIR}/res/tavelin.rc)

# GCC 12 reports std::string copies in inlined code as overlapping (GCC bug 105651) when
# optimising for this target; the warning is wrong there.
add_compile_options(-Wno-restrict)

# Test programs run under Wine, in a prefix inside this build folder (scripts/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR})
