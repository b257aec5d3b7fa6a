# Delay-load import libraries for the system DLLs the installer uses that are not KnownDLLs.
#
# Windows looks for a statically imported DLL that is not a KnownDLL in the exe's own folder first, so an
# installer started from a Downloads folder would load a wininet.dll planted beside it. Linked against these
# libraries instead, such a DLL is loaded on its first call, after the program has restricted the DLL search
# to System32 (platform/dll_search.cpp). Each library is made at configure time from the toolchain's own
# import library, with every function it exports.
function(qelmora_delay_import_libraries out_var)
    find_program(QELMORA_NM ${TOOLCHAIN_PREFIX}-nm REQUIRED)
    find_program(QELMORA_DLLTOOL ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)
    set(folder ${CMAKE_BINARY_DIR}/delay-imports)
    file(MAKE_DIRECTORY ${folder})
    # i686 names carry a leading underscore (and stdcall's @N, which -k drops from the imported name).
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(symbol_prefix "__imp__")
    else()
        set(symbol_prefix "__imp_")
    endif()
    set(libraries "")
    foreach(dll IN LISTS ARGN)
        find_library(QELMORA_IMPLIB_${dll} NAMES ${dll} REQUIRED NO_CACHE)
        execute_process(COMMAND ${QELMORA_NM} -g --defined-only ${QELMORA_IMPLIB_${dll}}
                        OUTPUT_VARIABLE symbols RESULT_VARIABLE result ERROR_QUIET)
        if(result)
            message(FATAL_ERROR "cannot read the import library ${QELMORA_IMPLIB_${dll}}")
        endif()
        string(REGEX MATCHALL " I ${symbol_prefix}[A-Za-z0-9_@]+" imports "${symbols}")
        list(TRANSFORM imports REPLACE " I ${symbol_prefix}" "")
        list(REMOVE_DUPLICATES imports)
        list(JOIN imports "\n" exports)
        set(def ${folder}/${dll}.def)
        file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
        set(library ${folder}/lib${dll}_delay.a)
        execute_process(COMMAND ${QELMORA_DLLTOOL} -k --input-def ${def} --dllname ${dll}.dll
                                --output-delaylib ${library}
                        RESULT_VARIABLE result ERROR_VARIABLE errors)
        if(result)
            message(FATAL_ERROR "cannot make the delay-load library for ${dll}.dll: ${errors}")
        endif()
        list(APPEND libraries ${library})
    endforeach()
    set(${out_var} ${libraries} PARENT_SCOPE)
endfunction()
