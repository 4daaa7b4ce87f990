# cmake -DOBJDUMP=<objdump> -DFILE=<ELF file> -DCEILING=<x.y> -P CheckGlibcVersions.cmake
# Whether a Linux binary loads on glibc CEILING: it may ask for no symbol version newer
# than GLIBC_<CEILING>, and no libstdc++ version at all (its C++ runtime is inside it,
# since the system's may be older than the build machine's).
cmake_policy(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${FILE} failed")
endif()
if(NOT _dump MATCHES "Version References:")
    message(FATAL_ERROR "${FILE}: no version references: not a dynamically linked ELF file?")
endif()

string(REGEX MATCHALL "GLIBC_[0-9]+\\.[0-9.]+" _versions "${_dump}")
list(REMOVE_DUPLICATES _versions)
list(TRANSFORM _versions REPLACE "GLIBC_" "")
list(SORT _versions COMPARE NATURAL)
set(_faults)
foreach(_version IN LISTS _versions)
    if(_version VERSION_GREATER CEILING)
        list(APPEND _faults "GLIBC_${_version}")
    endif()
endforeach()
string(REGEX MATCHALL "(GLIBCXX|CXXABI)_[0-9.]+" _cxx "${_dump}")
list(REMOVE_DUPLICATES _cxx)

list(JOIN _versions ", " _shown)
if(_faults OR _cxx)
    list(JOIN _faults ", " _above)
    list(JOIN _cxx ", " _cxx)
    message(FATAL_ERROR "${FILE} needs glibc ${_shown}:\n"
                        "  above ${CEILING}: ${_above}\n  from the system's C++ runtime: ${_cxx}")
endif()
message(STATUS "${FILE}: glibc ${_shown}")
