# The version line both programs print for --version, remade at every build
# so that it names the commit being built.
set(VERSION_HEADER ${CMAKE_BINARY_DIR}/generated/murl13_version.h)
add_custom_target(version_header
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${VERSION_HEADER}
          -DVERSION=${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/scripts/version_header.cmake
  BYPRODUCTS ${VERSION_HEADER}
  COMMENT "Checking the version line")
add_library(murl13_version INTERFACE)
target_include_directories(murl13_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
add_dependencies(murl13_version version_header)
