# The project's one version number (project() in the top CMakeLists.txt) as a
# header, <vardelk/version.h>, for every program that prints it. Link
# vardelk_version to get its include path. The module's information text is a
# fixed string of its own and does not follow this number.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/vardelk/version.h @ONLY)
add_library(vardelk_version INTERFACE)
target_include_directories(vardelk_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
