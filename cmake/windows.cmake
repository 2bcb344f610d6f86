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

# kelvak.exe's resources (app/kelvak.rc): the icon, made here from data/kelvak.png in the sizes
# Windows shows (ImageMagick scales, icotool packs), the manifest from data/windows/, and the
# version information from the project's version.
enable_language(RC)
function(kelvak_windows_resources target)
  find_program(KELVAK_CONVERT convert REQUIRED)
  find_program(KELVAK_ICOTOOL icotool REQUIRED)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/resources)
  set(picture ${PROJECT_SOURCE_DIR}/data/kelvak.png)
  set(pngs)
  set(scale)
  foreach(size 16 20 24 32 40 48 64 256)
    list(APPEND pngs ${dir}/kelvak-${size}.png)
    list(APPEND scale COMMAND ${KELVAK_CONVERT} ${picture} -resize ${size}x${size}
                      PNG32:${dir}/kelvak-${size}.png)
  endforeach()
  # The largest as PNG inside the icon, as Windows expects it; the others as bitmaps.
  list(REMOVE_AT pngs -1)
  add_custom_command(OUTPUT ${dir}/kelvak.ico
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    ${scale}
    COMMAND ${KELVAK_ICOTOOL} -c -o ${dir}/kelvak.ico ${pngs} -r ${dir}/kelvak-256.png
    DEPENDS ${picture}
    COMMENT "Making kelvak.ico")
  set(rc ${PROJECT_SOURCE_DIR}/app/kelvak.rc)
  set(minor ${PROJECT_VERSION_MINOR})
  if(minor STREQUAL "")
    set(minor 0)
  endif()
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${dir}/kelvak.ico;${PROJECT_SOURCE_DIR}/data/windows/kelvak.manifest"
    INCLUDE_DIRECTORIES "${dir};${PROJECT_SOURCE_DIR}/data/windows"
    COMPILE_DEFINITIONS
      "KELVAK_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};KELVAK_VERSION_MINOR=${minor};KELVAK_VERSION=${PROJECT_VERSION}")
endfunction()
