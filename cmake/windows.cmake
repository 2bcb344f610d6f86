# What the Windows build takes from the Debian machine it is cross-built on: the header-only
# libraries, each through a folder that holds its own headers alone (never /usr/include, whose other
# headers are Linux's), and GoogleTest built from its sources with the MinGW compiler.
set(KELVAK_HEADER_ONLY ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${KELVAK_HEADER_ONLY})
foreach(folder nlohmann CLI)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps.sh windows")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${KELVAK_HEADER_ONLY}/${folder} SYMBOLIC)
endforeach()
# MinGW's POSIX thread-safe time functions (gmtime_r), which the history's dates use.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)

add_library(kelvak_header_only INTERFACE)
target_include_directories(kelvak_header_only SYSTEM INTERFACE ${KELVAK_HEADER_ONLY})
add_library(nlohmann_json::nlohmann_json ALIAS kelvak_header_only)
add_library(CLI11::CLI11 ALIAS kelvak_header_only)

if(KELVAK_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()
