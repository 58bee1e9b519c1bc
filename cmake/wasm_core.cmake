# The core built with Emscripten (emcmake cmake), with WebAssembly SIMD for the
# ray marcher's vector lanes, and the program that checks its cells and times
# them under node. The same rounding rules as the native build: no contraction,
# no straight-line vectoriser; -O2 (-Oz runs two to three times slower).
set(CMAKE_CXX_FLAGS_RELEASE "-O2")
add_compile_options(-fno-slp-vectorize -msimd128 "SHELL:-include ${CMAKE_SOURCE_DIR}/hosts/web/bit_cast_shim.h")

file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  state/*.cpp art/*.cpp effects2d/*.cpp raymarch/*.cpp raster/*.cpp runtime/*.cpp)
list(FILTER CORE_SOURCES EXCLUDE REGEX "_avx2\\.cpp$")
add_library(murl13_core STATIC ${CORE_SOURCES})
target_include_directories(murl13_core PUBLIC ${CMAKE_SOURCE_DIR})

# node murl13-lanes-check.js ...: see scripts/check_wasm_lanes.py.
add_executable(murl13-lanes-check EXCLUDE_FROM_ALL tests/wasm_lanes/lanes_check.cpp tool/raw_cells.cpp)
target_link_libraries(murl13-lanes-check PRIVATE murl13_core)
target_link_options(murl13-lanes-check PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sSINGLE_FILE=1
                    -sEXIT_RUNTIME=1)
