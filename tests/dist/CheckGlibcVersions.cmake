# cmake -DOBJDUMP=<objdump> -DFILE=<ELF file> -DCEILING=<x.y> -DGCC_CEILING=<x.y.z>
#       -P CheckGlibcVersions.cmake
# Whether a Linux binary loads on glibc CEILING: it may ask for no symbol version newer
# than GLIBC_<CEILING>, no libgcc_s version newer than GCC_<GCC_CEILING> (the unwinder
# comes from the system, whose libgcc_s matches its glibc), and no libstdc++ version at
# all (its C++ runtime is inside it, since the system's may be older than the build
# machine's).
cmake_policy(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${FILE} failed")
endif()
if(NOT _dump MATCHES "Version References:")
    message(FATAL_ERROR "${FILE}: no version references: not a dynamically linked ELF file?")
endif()

# The versions named PREFIX_<number> in the dump, in order, and those above ceiling.
function(versions_above prefix ceiling found above)
    string(REGEX MATCHALL "[ \t]${prefix}_[0-9]+\\.[0-9.]+" _names "${_dump}")
    list(TRANSFORM _names REPLACE "^[ \t]${prefix}_" "")
    list(REMOVE_DUPLICATES _names)
    list(SORT _names COMPARE NATURAL)
    set(_above)
    foreach(_version IN LISTS _names)
        if(_version VERSION_GREATER ceiling)
            list(APPEND _above "${prefix}_${_version}")
        endif()
    endforeach()
    set(${found} "${_names}" PARENT_SCOPE)
    set(${above} "${_above}" PARENT_SCOPE)
endfunction()

versions_above(GLIBC ${CEILING} _glibc _glibc_above)
versions_above(GCC ${GCC_CEILING} _gcc _gcc_above)
string(REGEX MATCHALL "(GLIBCXX|CXXABI)_[0-9.]+" _cxx "${_dump}")
list(REMOVE_DUPLICATES _cxx)

set(_faults)
if(_glibc_above)
    list(JOIN _glibc_above ", " _text)
    list(APPEND _faults "glibc above ${CEILING}: ${_text}")
endif()
if(_gcc_above)
    list(JOIN _gcc_above ", " _text)
    list(APPEND _faults "libgcc_s above ${GCC_CEILING}: ${_text}")
endif()
if(_cxx)
    list(JOIN _cxx ", " _text)
    list(APPEND _faults "the system's C++ runtime: ${_text}")
endif()
list(JOIN _glibc ", " _shown)
list(JOIN _gcc ", " _shown_gcc)
if(_faults)
    list(JOIN _faults "\n  " _text)
    message(FATAL_ERROR "${FILE} needs glibc ${_shown} and libgcc_s ${_shown_gcc}:\n  ${_text}")
endif()
message(STATUS "${FILE}: glibc ${_shown}; libgcc_s ${_shown_gcc}")
