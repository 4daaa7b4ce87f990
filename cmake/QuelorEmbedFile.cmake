# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DID=<id> -P QuelorEmbedFile.cmake
# Writes a C++ source holding the bytes of INPUT that registers them as resource ID.
file(READ ${INPUT} _hex HEX)
string(LENGTH "${_hex}" _digits)
math(EXPR _size "${_digits} / 2")
if(_size EQUAL 0)
    set(_bytes "0")
else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n    " _bytes "${_bytes}")
endif()
get_filename_component(_name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp
"// Generated from ${_name} by QuelorEmbedFile.cmake; do not edit.
#include \"raster/RAS_EmbeddedResource.h\"

namespace {
const unsigned char kBytes[] = {
    ${_bytes}
};
RAS_EmbeddedResource gResource{RAS_OwnModule(), ${ID}, kBytes, ${_size}, nullptr};
const RAS_EmbeddedResourceRegistrar gRegistrar(&gResource);
} // namespace
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
