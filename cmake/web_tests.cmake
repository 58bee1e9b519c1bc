# The page's tests, run from the native build against the page that
# scripts/build-web.sh builds (MURL13_WEB_BUILD): they skip with a message
# where it is not built or node or Chromium is missing. Label: web.
set(MURL13_WEB_BUILD ${CMAKE_SOURCE_DIR}/build-web CACHE PATH "The page's build folder (scripts/build-web.sh)")
set(WEB_SITE ${MURL13_WEB_BUILD}/site)
set(WEB_PROGRAM ${MURL13_WEB_BUILD}/cmake)
set(WEB_NODE sh ${CMAKE_SOURCE_DIR}/tests/web/with_node.sh)

# The native decoder's samples, for the WebAssembly decoder's test.
add_executable(web_song_samples tests/web/song_samples.cpp music/tick_loop.cpp music/file_names.cpp music/xm_check.cpp)
target_include_directories(web_song_samples PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(web_song_samples PRIVATE PkgConfig::XMP)

add_test(NAME Web.WasmCoreAndDecoderEqualNative COMMAND ${WEB_NODE} ${CMAKE_SOURCE_DIR}/tests/web/wasm_core_test.mjs
         ${WEB_PROGRAM} ${CMAKE_BINARY_DIR}/GLIMVEX.oXM $<TARGET_FILE:murl13-tool> $<TARGET_FILE:web_song_samples>)
set_tests_properties(Web.WasmCoreAndDecoderEqualNative PROPERTIES SKIP_RETURN_CODE 77 LABELS web TIMEOUT 600)
foreach(mode still show missing phone visitors)
  add_test(NAME Web.Page.${mode}
           COMMAND ${WEB_NODE} ${CMAKE_SOURCE_DIR}/tests/web/page_test.mjs ${WEB_SITE} ${CMAKE_BINARY_DIR}/GLIMVEX.oXM
                   $<TARGET_FILE:murl13-tool> ${mode})
  # Each runs its own browser: one at a time.
  set_tests_properties(Web.Page.${mode} PROPERTIES RUN_SERIAL ON SKIP_RETURN_CODE 77 LABELS web TIMEOUT 600)
endforeach()
