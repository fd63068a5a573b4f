# cli11: the header-only command-line parser from Debian's libcli11-dev, for
# smsd, smshost and smsdb. The MinGW compiler must not search /usr/include,
# whose C library headers are Linux's, so every tree sees the package's
# folder alone, through a link in the build tree.
include_guard(GLOBAL)
find_path(SMSUTIL_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT SMSUTIL_CLI11_INCLUDE)
  message(FATAL_ERROR "CLI11 is missing (no CLI/CLI.hpp): scripts/setup.sh (make setup) installs libcli11-dev.")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11)
file(CREATE_LINK ${SMSUTIL_CLI11_INCLUDE}/CLI ${CMAKE_BINARY_DIR}/cli11/CLI SYMBOLIC)
add_library(cli11 INTERFACE)
target_include_directories(cli11 INTERFACE ${CMAKE_BINARY_DIR}/cli11)
