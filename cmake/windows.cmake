# The Windows build, cross-compiled with mingw-w64 (cmake/mingw-w64.cmake) by
# scripts/build-windows.sh, which also builds the static libxmp and SDL2 and
# passes their install folders. The same core as on Linux; the Windows console
# host and the window host; the tests run under Wine.
#
#   MURL13_XMP_PREFIX, MURL13_SDL2_PREFIX  the static libraries' install folders
#   MURL13_ICON                            the programs' icon (.ico), drawn by the script
#   MURL13_WINEPREFIX                      the Wine prefix the tests run in
#   MURL13_LINUX_SONG                      the song, composed on this machine
#   MURL13_LINUX_TOOL                      the Linux murl13-tool the cells are compared with

# Statically linked: the programs need no DLL beyond Windows' own. A release
# carries no debugging sections.
string(APPEND CMAKE_EXE_LINKER_FLAGS " -static")
string(APPEND CMAKE_EXE_LINKER_FLAGS_RELEASE " -s")
find_package(Threads REQUIRED)

foreach(prefix MURL13_XMP_PREFIX MURL13_SDL2_PREFIX)
  if(NOT EXISTS "${${prefix}}/lib")
    message(FATAL_ERROR "${prefix} must name an install folder (scripts/build-windows.sh passes it)")
  endif()
endforeach()

add_library(murl13_libxmp INTERFACE)
target_include_directories(murl13_libxmp INTERFACE ${MURL13_XMP_PREFIX}/include)
# The static library's header exports nothing when told so.
target_compile_definitions(murl13_libxmp INTERFACE BUILDING_STATIC)
target_link_libraries(murl13_libxmp INTERFACE ${MURL13_XMP_PREFIX}/lib/libxmp.a)

# SDL2 without SDL2main and -mwindows: the programs keep their console.
add_library(murl13_sdl2 INTERFACE)
target_include_directories(murl13_sdl2 INTERFACE ${MURL13_SDL2_PREFIX}/include/SDL2)
target_link_libraries(murl13_sdl2 INTERFACE ${MURL13_SDL2_PREFIX}/lib/libSDL2.a
  kernel32 user32 gdi32 winmm imm32 ole32 oleaut32 version uuid advapi32 setupapi shell32)

# Core: as on Linux.
file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  state/*.cpp art/*.cpp effects2d/*.cpp raymarch/*.cpp raster/*.cpp runtime/*.cpp)
list(FILTER CORE_SOURCES EXCLUDE REGEX "_avx2\\.cpp$")
add_library(murl13_core STATIC ${CORE_SOURCES})
add_library(murl13_lanes OBJECT raymarch/fast_march_avx2.cpp)
target_compile_options(murl13_lanes PRIVATE -mavx2)
target_include_directories(murl13_lanes PRIVATE ${CMAKE_SOURCE_DIR})
target_sources(murl13_core PRIVATE $<TARGET_OBJECTS:murl13_lanes>)
target_include_directories(murl13_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(murl13_core PUBLIC Threads::Threads)

file(GLOB MUSIC_SOURCES CONFIGURE_DEPENDS music/*.cpp)
list(FILTER MUSIC_SOURCES EXCLUDE REGEX "page_player\\.cpp$")  # the web page's
add_library(murl13_music STATIC ${MUSIC_SOURCES})
target_link_libraries(murl13_music PUBLIC murl13_core murl13_libxmp murl13_sdl2 Threads::Threads)

# The window host, its POSIX stop signals left for the console control handler.
file(GLOB WINDOW_SOURCES CONFIGURE_DEPENDS hosts/window/*.cpp)
list(FILTER WINDOW_SOURCES EXCLUDE REGEX "/stop_signals\\.cpp$")
set(CONSOLE_CONTROL_SOURCES hosts/wincon/console_control.cpp hosts/wincon/window_stop.cpp)
add_library(murl13_window STATIC ${WINDOW_SOURCES} ${CONSOLE_CONTROL_SOURCES})
target_link_libraries(murl13_window PUBLIC murl13_core murl13_sdl2)

# The Windows console host, and the choice between it and the window.
file(GLOB WINCON_SOURCES CONFIGURE_DEPENDS hosts/wincon/*.cpp)
list(FILTER WINCON_SOURCES EXCLUDE REGEX "/(console_control|window_stop)\\.cpp$")
add_library(murl13_hosts STATIC ${WINCON_SOURCES} hosts/console_choice.cpp)
target_link_libraries(murl13_hosts PUBLIC murl13_core murl13_window)

add_library(murl13_cli STATIC app/command_line.cpp tool/options.cpp)
target_include_directories(murl13_cli PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(murl13 app/main.cpp app/platform_windows.cpp)
target_link_libraries(murl13 PRIVATE murl13_cli murl13_core murl13_hosts murl13_music murl13_version)
# Found beside the program, as the zip unpacks it.
target_compile_definitions(murl13 PRIVATE MURL13_SONG_FOLDER_FROM_BINARY=".")

# The workbench without PNG and capture (libpng and FFmpeg are Linux-only here).
file(GLOB TOOL_SOURCES CONFIGURE_DEPENDS tool/*.cpp tool/windows/*.cpp)
list(FILTER TOOL_SOURCES EXCLUDE REGEX "/(capture_command|capture_files|png_writer|show_clock|posix_only)\\.cpp$")
# The benchmark also times the terminal's frame encoding.
add_executable(murl13-tool ${TOOL_SOURCES} hosts/terminal/frame_encoder.cpp)
target_link_libraries(murl13-tool PRIVATE murl13_core murl13_hosts murl13_music murl13_version)
target_compile_definitions(murl13-tool PRIVATE MURL13_SONG_FOLDER_FROM_BINARY=".")

# Each program's resources: the icon, the version information Explorer shows
# and the manifest (cmake/windows_resources.rc.in, cmake/windows_manifest.xml.in).
enable_language(RC)
if(NOT EXISTS "${MURL13_ICON}")
  message(FATAL_ERROR "MURL13_ICON must name the programs' .ico (scripts/build-windows.sh draws it)")
endif()
function(murl13_windows_resources target description)
  set(RC_NAME ${target})
  set(RC_FILE ${target}.exe)
  set(RC_DESCRIPTION "${description}")
  set(RC_MANIFEST ${CMAKE_BINARY_DIR}/resources/${target}.manifest)
  set(rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/windows_manifest.xml.in ${RC_MANIFEST} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/windows_resources.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${MURL13_ICON};${RC_MANIFEST};${VERSION_HEADER}")
endfunction()
murl13_windows_resources(murl13 "Norq - Murl #13, a real-time text-mode demo")
murl13_windows_resources(murl13-tool "murl13-tool, the workbench of the murl13 demo")

# The song, composed by the script with the Linux generator (same bytes).
if(MURL13_LINUX_SONG AND NOT MURL13_LINUX_SONG STREQUAL "${CMAKE_BINARY_DIR}/GLIMVEX.oXM")
  configure_file(${MURL13_LINUX_SONG} ${CMAKE_BINARY_DIR}/GLIMVEX.oXM COPYONLY)
endif()

# Tests: each suite is one test run under Wine (starting Wine per test case
# would cost more than the cases).
enable_testing()
if(NOT MURL13_WINEPREFIX)
  set(MURL13_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
set(WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN})
set(WINE_ENVIRONMENT "WINEPREFIX=${MURL13_WINEPREFIX}")

set(gtest_disable_pthreads OFF)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

function(murl13_windows_suite name folder)
  file(GLOB sources CONFIGURE_DEPENDS tests/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "${MURL13_LINUX_ONLY_TESTS}")
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} gtest gtest_main)
  target_compile_options(${name} PRIVATE -include ${CMAKE_SOURCE_DIR}/tests/posix_on_windows.h)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${WINE_ENVIRONMENT}")
endfunction()

# The tests that run the Linux tool through a shell or use POSIX files.
set(MURL13_LINUX_ONLY_TESTS "/(tool_commands_test|song_command_test|version_test|command_line_edges_test)\\.cpp$")
murl13_windows_suite(core_tests core murl13_core)
murl13_windows_suite(app_tests app murl13_cli)
file(GLOB SONG_WRITER_SOURCES CONFIGURE_DEPENDS song/xm_*.cpp)
add_library(murl13_xm STATIC ${SONG_WRITER_SOURCES})
target_include_directories(murl13_xm PUBLIC ${CMAKE_SOURCE_DIR})
murl13_windows_suite(music_tests music murl13_music murl13_xm)

# End to end: the demo under Wine in an 80 by 50 pseudo-terminal, watched from
# its console by a Windows program that reads the cells back and types keys.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_executable(console_probe tests/wincon/console_probe.cpp tests/core/fake_platform.cpp
  hosts/wincon/console_cells.cpp)
target_include_directories(console_probe PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(console_probe PRIVATE murl13_core)
# Wine sees the machine's root as drive Z:.
function(murl13_wine_path out path)
  string(REPLACE "/" "\\" windows "${path}")
  set(${out} "Z:${windows}" PARENT_SCOPE)
endfunction()
# The demo looks for the song beside itself too: a copy in a folder without it.
set(NO_SONG_FOLDER ${CMAKE_BINARY_DIR}/no-song)
add_custom_command(TARGET murl13 POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${NO_SONG_FOLDER}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:murl13> ${NO_SONG_FOLDER}/)
foreach(scenario song nosong ctrlc elsewhere window tool)
  set(folder ${CMAKE_BINARY_DIR})
  if(scenario MATCHES "nosong|elsewhere|tool")
    set(folder ${NO_SONG_FOLDER})
  endif()
  murl13_wine_path(FOLDER ${folder})
  murl13_wine_path(DEMO_EXE ${CMAKE_BINARY_DIR}/murl13.exe)
  if(scenario STREQUAL "nosong")
    murl13_wine_path(DEMO_EXE ${NO_SONG_FOLDER}/murl13.exe)
  endif()
  set(report ${CMAKE_BINARY_DIR}/console-probe-${scenario}.txt)
  murl13_wine_path(REPORT ${report})
  add_test(NAME DemoInConsole.${scenario}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wincon/run_in_pty.py --report ${report}
            50 80 240 ${CMAKE_BINARY_DIR}/console_probe.exe ${REPORT} ${scenario} ${FOLDER} ${DEMO_EXE})
  set_tests_properties(DemoInConsole.${scenario} PROPERTIES ENVIRONMENT "${WINE_ENVIRONMENT}")
endforeach()

# The Windows tool's cells are the Linux tool's, on states of every effect.
if(NOT MURL13_LINUX_TOOL)
  set(MURL13_LINUX_TOOL ${CMAKE_SOURCE_DIR}/build/murl13-tool)
endif()
add_test(NAME ToolCells.SameAsLinux
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/cross/same_cells_as_linux.py
          ${MURL13_LINUX_TOOL} ${CMAKE_BINARY_DIR}/murl13-tool.exe)
set_tests_properties(ToolCells.SameAsLinux PROPERTIES ENVIRONMENT "${WINE_ENVIRONMENT}")

# Both programs carry their icon, version information and manifest, and no
# debugging sections.
add_test(NAME Programs.HaveResourcesAndNoDebugSections
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wincon/resources_test.py ${PROJECT_VERSION}
          ${MURL13_LINUX_TOOL} ${CMAKE_BINARY_DIR}/murl13.exe ${CMAKE_BINARY_DIR}/murl13-tool.exe)

# The workbench from a command line: a folder named in Polish and Russian,
# the messages of what the build has not, the help texts.
add_test(NAME Workbench.NamesMessagesAndHelp
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wincon/workbench_test.py ${MURL13_LINUX_TOOL}
          ${CMAKE_BINARY_DIR})
set_tests_properties(Workbench.NamesMessagesAndHelp PROPERTIES ENVIRONMENT "${WINE_ENVIRONMENT}")

# With its output redirected a console program has no console to draw on: it
# says so and exits with 1, as on Linux.
add_test(NAME DemoWithoutConsole.SaysSoAndExits1
  COMMAND sh -c "\"$0\" \"$1\" </dev/null >/dev/null 2>without-console.txt; status=$?; cat without-console.txt; \
test $status -eq 1 && grep -q 'needs a console' without-console.txt" ${WINE_RUN} ${CMAKE_BINARY_DIR}/murl13.exe)
set_tests_properties(DemoWithoutConsole.SaysSoAndExits1 PROPERTIES ENVIRONMENT "${WINE_ENVIRONMENT}")
