# cmake -DREADELF=<readelf> -DNM=<nm> -DDSP=<Quelor.so of the LV2 bundle>
#       -DPANEL=<QuelorUI.so> -DVST=<the VST 2 Quelor.so> [-DSANITIZED=ON]
#       -P CheckBinaryParts.cmake
# The LV2 plug-in processes only: its panel is a binary of its own, so the plug-in needs
# no window system, no text drawing and no images, and a host that never shows a panel
# loads none of them. The VST 2 module keeps its panel inside, as does the LV2 panel.
cmake_policy(VERSION 3.25)
set(_faults)

function(needed_libraries binary out)
    execute_process(COMMAND ${READELF} -d ${binary} OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "${READELF} -d ${binary} failed")
    endif()
    string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" _entries "${_dump}")
    set(_names)
    foreach(_entry IN LISTS _entries)
        string(REGEX REPLACE ".*\\[([^]]+)\\]" "\\1" _name "${_entry}")
        list(APPEND _names ${_name})
    endforeach()
    set(${out} ${_names} PARENT_SCOPE)
endfunction()

# The C and C++ runtimes' own libraries, and nothing else.
set(_runtime libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 libgcc_s.so.1 ld-linux-x86-64.so.2)
# Sanitizer builds add their runtimes and link the C++ library dynamically.
if(SANITIZED)
    list(APPEND _runtime libasan.so.8 libubsan.so.1 libstdc++.so.6)
endif()
needed_libraries(${DSP} _dsp)
if(NOT _dsp)
    list(APPEND _faults "${DSP}: no NEEDED entries found")
endif()
foreach(_name IN LISTS _dsp)
    if(NOT _name IN_LIST _runtime)
        list(APPEND _faults "${DSP} needs ${_name}")
    endif()
endforeach()

# Nothing of Xlib, its extensions, FreeType, fontconfig or libpng is left to the loader.
execute_process(COMMAND ${NM} -D --undefined-only --format=just-symbols ${DSP}
                OUTPUT_VARIABLE _undefined RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${NM} -D ${DSP} failed")
endif()
string(REGEX MATCHALL "(^|\n)(X[A-Z][A-Za-z0-9_]*|FT_[A-Za-z0-9_]+|Fc[A-Z][A-Za-z0-9_]*|png_[a-z0-9_]+)"
       _window "${_undefined}")
foreach(_symbol IN LISTS _window)
    string(STRIP "${_symbol}" _symbol)
    list(APPEND _faults "${DSP} leaves ${_symbol} undefined")
endforeach()

# No images: no PNG signature anywhere in the file.
file(READ ${DSP} _hex HEX)
if(_hex MATCHES "89504e470d0a1a0a")
    list(APPEND _faults "${DSP} carries a PNG image")
endif()

# The binaries with a panel still link the window system and carry the images.
foreach(_binary IN ITEMS ${PANEL} ${VST})
    needed_libraries(${_binary} _libraries)
    if(NOT "libX11.so.6" IN_LIST _libraries)
        list(APPEND _faults "${_binary} does not link the window system")
    endif()
    file(READ ${_binary} _hex HEX)
    if(NOT _hex MATCHES "89504e470d0a1a0a")
        list(APPEND _faults "${_binary} carries no images")
    endif()
endforeach()

if(_faults)
    list(JOIN _faults "\n  " _text)
    message(FATAL_ERROR "${_text}")
endif()
message(STATUS "${DSP} needs only ${_dsp}")
