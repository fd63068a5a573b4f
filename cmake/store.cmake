# The message store as a static library, from the one list of its sources,
# in whichever tree includes this file:
#   smsutil_store(NAME)
#       for Windows: over the MFC stand-in and the cross-built Berkeley DB's
#       headers (the module finds db_create at run time; a tool links libdb.a)
#   smsutil_store(NAME NATIVE [OPTIONS flag...])
#       on Linux: over the shim's Windows calls, made as NAME_shim, and
#       Debian's Berkeley DB; both compiled with OPTIONS, which reach every
#       target that links them (the fuzzing harnesses' sanitizers)
include_guard(GLOBAL)
get_filename_component(SMSUTIL_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

function(smsutil_store name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NATIVE" "" "OPTIONS")
  set(store ${SMSUTIL_ROOT}/store)
  add_library(${name} STATIC ${store}/byte_codec.cpp ${store}/sms_record.cpp ${store}/message_store.cpp
              ${store}/account_file.cpp ${store}/store_change.cpp ${store}/store_journal.cpp
              ${store}/store_repair.cpp)
  target_include_directories(${name} PUBLIC ${SMSUTIL_ROOT} ${store})
  if(NOT arg_NATIVE)
    target_include_directories(${name} PUBLIC ${SMSUTIL_DB_PREFIX}/include)
    target_link_libraries(${name} PUBLIC mfc)
    return()
  endif()

  # The resource strings that the module's code loads, read from its own
  # resource script, so that the shim's LoadStringA gives the module's texts.
  file(STRINGS ${SMSUTIL_ROOT}/res/smsutil.rc rc_lines ENCODING UTF-8 REGEX "^[ \t]+IDS_[A-Z0-9_]+[ \t]+\".*\"[ \t]*$")
  set(resource_strings "")
  foreach(line IN LISTS rc_lines)
    string(REGEX REPLACE "^[ \t]+(IDS_[A-Z0-9_]+)[ \t]+\"(.*)\"[ \t]*$" "\\1" id "${line}")
    string(REGEX REPLACE "^[ \t]+(IDS_[A-Z0-9_]+)[ \t]+\"(.*)\"[ \t]*$" "\\2" text "${line}")
    string(REPLACE "\"\"" "\\\"" text "${text}")
    string(APPEND resource_strings "{${id}, u8\"${text}\"},\n")
  endforeach()
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${name}_generated)
  file(CONFIGURE OUTPUT ${generated}/resource_strings.inc CONTENT "${resource_strings}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SMSUTIL_ROOT}/res/smsutil.rc)

  add_library(${name}_shim STATIC ${SMSUTIL_ROOT}/shim/win_shim.cpp ${SMSUTIL_ROOT}/shim/win_file.cpp
              ${SMSUTIL_ROOT}/mfc/src/afxstr.cpp)
  # The shim comes first, so that its windows.h and afxwin.h are the ones found.
  target_include_directories(${name}_shim PUBLIC ${SMSUTIL_ROOT}/shim ${SMSUTIL_ROOT}/mfc/include ${SMSUTIL_ROOT}
                             PRIVATE ${generated})
  target_compile_options(${name}_shim PUBLIC ${arg_OPTIONS})

  find_library(SMSUTIL_NATIVE_DB NAMES db-5.3 REQUIRED)
  target_link_libraries(${name} PUBLIC ${name}_shim ${SMSUTIL_NATIVE_DB})
  target_compile_options(${name} PRIVATE -Wno-cast-function-type)
endfunction()
