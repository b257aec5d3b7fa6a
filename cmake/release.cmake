# The installer as publishers ship it: a version resource, and `cmake --install` making the release folder
# with QelmoraSetup.exe stripped of symbols and, when a certificate is named, signed with Authenticode.
set(QELMORA_COMPANY_NAME "Qelmora" CACHE STRING "CompanyName of the version resource")
set(QELMORA_COPYRIGHT "Copyright (C) Qelmora" CACHE STRING "LegalCopyright of the version resource")
set(QELMORA_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and its key; empty: the release exe is not signed")
set(QELMORA_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the PKCS#12 file's password")
set(QELMORA_SIGN_CERT "" CACHE FILEPATH "PEM code-signing certificate (and its chain), with QELMORA_SIGN_KEY")
set(QELMORA_SIGN_KEY "" CACHE FILEPATH "PEM private key of QELMORA_SIGN_CERT")
set(QELMORA_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature; empty: none")

# The values stand in C strings of the resource script: a quote or backslash would end or bend them.
foreach(name QELMORA_COMPANY_NAME QELMORA_COPYRIGHT)
    if(${name} MATCHES "[\"\\\\]")
        message(FATAL_ERROR "${name} may not hold a quote or a backslash: ${${name}}")
    endif()
endforeach()
set(QELMORA_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(QELMORA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
configure_file(${CMAKE_SOURCE_DIR}/res/version.h.in ${CMAKE_BINARY_DIR}/generated/qelmora_version.h @ONLY)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/res/qelmora.rc APPEND PROPERTY
             OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/generated/qelmora_version.h)

set(QELMORA_SIGN_ARGS "")
if(QELMORA_SIGN_PKCS12 AND QELMORA_SIGN_CERT)
    message(FATAL_ERROR "Name either QELMORA_SIGN_PKCS12 or QELMORA_SIGN_CERT and QELMORA_SIGN_KEY, not both")
elseif(QELMORA_SIGN_PKCS12)
    list(APPEND QELMORA_SIGN_ARGS "-DPKCS12=${QELMORA_SIGN_PKCS12}" "-DPASSWORD_FILE=${QELMORA_SIGN_PASSWORD_FILE}")
elseif(QELMORA_SIGN_CERT OR QELMORA_SIGN_KEY)
    if(NOT (QELMORA_SIGN_CERT AND QELMORA_SIGN_KEY))
        message(FATAL_ERROR "QELMORA_SIGN_CERT and QELMORA_SIGN_KEY go together")
    endif()
    list(APPEND QELMORA_SIGN_ARGS "-DCERT=${QELMORA_SIGN_CERT}" "-DKEY=${QELMORA_SIGN_KEY}")
endif()
if(QELMORA_SIGN_ARGS)
    find_program(QELMORA_OSSLSIGNCODE osslsigncode REQUIRED)
    list(APPEND QELMORA_SIGN_ARGS "-DOSSLSIGNCODE=${QELMORA_OSSLSIGNCODE}" "-DTIMESTAMP_URL=${QELMORA_TIMESTAMP_URL}")
endif()

# `cmake --install build/windows` puts the release exe into the install prefix (build/release by default).
list(JOIN QELMORA_SIGN_ARGS "\" \"" QELMORA_SIGN_ARGS_QUOTED)
if(QELMORA_SIGN_ARGS)
    set(QELMORA_SIGN_ARGS_QUOTED "\"${QELMORA_SIGN_ARGS_QUOTED}\"")
endif()
install(CODE "
    execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DEXE=$<TARGET_FILE:QelmoraSetup>\"
                            \"-DOUT=\${CMAKE_INSTALL_PREFIX}/QelmoraSetup.exe\" \"-DSTRIP=${CMAKE_STRIP}\"
                            ${QELMORA_SIGN_ARGS_QUOTED} -P \"${CMAKE_SOURCE_DIR}/cmake/release_exe.cmake\"
                    RESULT_VARIABLE result)
    if(result)
        message(FATAL_ERROR \"The release QelmoraSetup.exe could not be made\")
    endif()")
