# The page's tests, run from the native build against the page that
# scripts/build-web.sh builds (MURL13_WEB_BUILD): they skip with a message
# where it is not built or node or Chromium is missing. Label: web.
set(MURL13_WEB_BUILD ${CMAKE_SOURCE_DIR}/build-web CACHE PATH "The page's build folder (scripts/build-web.sh)")

# The native decoder's samples, for the WebAssembly decoder's test.
add_executable(web_song_samples tests/web/song_samples.cpp music/tick_loop.cpp music/xm_check.cpp)
target_include_directories(web_song_samples PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(web_song_samples PRIVATE PkgConfig::XMP)

# A song that ends the show within seconds, for the page's end.
add_executable(web_short_song tests/web/short_song.cpp)
target_link_libraries(web_short_song PRIVATE murl13_xm)

set(WEB_NODE sh ${CMAKE_SOURCE_DIR}/tests/web/with_node.sh)
add_test(NAME Web.WasmCoreAndDecoderEqualNative
  COMMAND ${WEB_NODE} ${CMAKE_SOURCE_DIR}/tests/web/wasm_core_test.mjs ${MURL13_WEB_BUILD}/cmake/murl13-check.js
          $<TARGET_FILE:murl13-tool> ${CMAKE_BINARY_DIR}/GLIMVEX.oXM $<TARGET_FILE:web_song_samples>)
foreach(mode still show missing ending)
  add_test(NAME Web.Page.${mode}
    COMMAND ${WEB_NODE} ${CMAKE_SOURCE_DIR}/tests/web/page_test.mjs ${MURL13_WEB_BUILD}/site $<TARGET_FILE:murl13-tool>
            ${mode} $<TARGET_FILE:web_short_song>)
  # Each runs its own browser: one at a time.
  set_tests_properties(Web.Page.${mode} PROPERTIES RUN_SERIAL ON SKIP_RETURN_CODE 77 LABELS web TIMEOUT 600)
endforeach()
set_tests_properties(Web.WasmCoreAndDecoderEqualNative PROPERTIES SKIP_RETURN_CODE 77 LABELS web TIMEOUT 600)
