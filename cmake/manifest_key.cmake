# Builds the publisher's public key into the installer: generated/qelmora_manifest_key.h holds its X and Y.
# The PEM is read by tools/manifest_key, compiled for this machine when the build is configured (the
# installer itself is cross-compiled), so the key's format is checked by our own tested code.
if(QELMORA_MANIFEST_KEY)
    find_program(QELMORA_HOST_CXX NAMES c++ g++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(tool ${CMAKE_BINARY_DIR}/host/manifest_key)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host)
    set(sources ${CMAKE_SOURCE_DIR}/tools/manifest_key/manifest_key.cpp ${CMAKE_SOURCE_DIR}/engine/list/ecdsa_formats.cpp)
    execute_process(COMMAND ${QELMORA_HOST_CXX} -std=c++17 -O1 -I${CMAKE_SOURCE_DIR} -o ${tool} ${sources}
                    RESULT_VARIABLE status ERROR_VARIABLE message)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "manifest_key could not be built for this machine:\n${message}")
    endif()
    execute_process(COMMAND ${tool} ${QELMORA_MANIFEST_KEY}
                    RESULT_VARIABLE status OUTPUT_VARIABLE QELMORA_MANIFEST_KEY_BYTES ERROR_VARIABLE message)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "QELMORA_MANIFEST_KEY: ${message}")
    endif()
    set(QELMORA_HAS_MANIFEST_KEY true)
    # A new key, or a change of its reader, configures again.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QELMORA_MANIFEST_KEY} ${sources}
                 ${CMAKE_SOURCE_DIR}/engine/list/ecdsa_formats.h)
else()
    set(QELMORA_HAS_MANIFEST_KEY false)
    set(QELMORA_MANIFEST_KEY_BYTES "0")
endif()
# The oldest signed list this build takes: raising it retires every list published before.
string(LENGTH "${QELMORA_MIN_LIST_VERSION}" digits)
if(NOT QELMORA_MIN_LIST_VERSION MATCHES "^[1-9][0-9]*$" OR digits GREATER 19 OR
   (digits EQUAL 19 AND QELMORA_MIN_LIST_VERSION STRGREATER "9223372036854775807"))
    message(FATAL_ERROR "QELMORA_MIN_LIST_VERSION: a decimal from 1 to 9223372036854775807, not '${QELMORA_MIN_LIST_VERSION}'")
endif()
configure_file(${CMAKE_SOURCE_DIR}/engine/manifest_key.h.in ${CMAKE_BINARY_DIR}/generated/qelmora_manifest_key.h
               @ONLY)
