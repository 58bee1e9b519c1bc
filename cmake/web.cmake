# The page: the demo compiled to WebAssembly with Emscripten (scripts/build-web.sh
# configures it). Each instance single-threaded (the page runs more in its
# workers), with the page doing its own canvas and sound, so no Emscripten
# port is needed; libxmp comes compiled from Debian's
# source by the script (MURL13_XMP_WASM: a folder with libxmp.a and include/).

if(NOT EXISTS "${MURL13_XMP_WASM}/libxmp.a")
  message(FATAL_ERROR "MURL13_XMP_WASM must name a folder with libxmp.a (scripts/build-web.sh makes it)")
endif()

# The core comes from cmake/wasm_core.cmake, built the same way.
add_library(murl13_xmp STATIC IMPORTED)
set_target_properties(murl13_xmp PROPERTIES
  IMPORTED_LOCATION ${MURL13_XMP_WASM}/libxmp.a
  INTERFACE_INCLUDE_DIRECTORIES ${MURL13_XMP_WASM}/include
  INTERFACE_COMPILE_DEFINITIONS BUILDING_STATIC)

# The decoder, the song clock and the page's player. xmp.h includes
# emscripten.h inside its extern "C": it is included first.
add_library(murl13_page_music STATIC
  music/tick_loop.cpp music/file_names.cpp music/xm_check.cpp music/show_clock.cpp music/page_player.cpp)
target_compile_options(murl13_page_music PRIVATE "SHELL:-include emscripten.h")
target_link_libraries(murl13_page_music PUBLIC murl13_core murl13_xmp)

set(WEB_LINK_OPTIONS -sALLOW_MEMORY_GROWTH=1 -sMODULARIZE=1 -sFILESYSTEM=1 "-sEXPORTED_FUNCTIONS=['_malloc','_free']"
  "-sEXPORTED_RUNTIME_METHODS=['FS','UTF8ToString','stringToUTF8','lengthBytesUTF8']")

# The page's program: murl13.js and murl13.wasm, which scripts/pack_page.py
# puts inside the page; the page runs it in its workers too, and node for the
# tests (tests/web/wasm_core_test.mjs).
file(GLOB WEB_HOST_SOURCES CONFIGURE_DEPENDS hosts/web/*.cpp)
add_executable(murl13-page app/page_main.cpp ${WEB_HOST_SOURCES} tool/frame_request.cpp tool/options.cpp)
target_link_libraries(murl13-page PRIVATE murl13_page_music murl13_core)
target_link_options(murl13-page PRIVATE ${WEB_LINK_OPTIONS} -sEXPORT_NAME=createMurl13 -sENVIRONMENT=web,worker,node)
set_target_properties(murl13-page PROPERTIES OUTPUT_NAME murl13 SUFFIX .js)
