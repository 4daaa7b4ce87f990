# Warnings as errors for everything we compile ourselves.
add_library(quelor_warnings INTERFACE)
target_compile_options(quelor_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
    # clang (the fuzz build) also counts floats widened inside braced lists of doubles.
    $<$<CXX_COMPILER_ID:Clang>:-Wno-double-promotion>)

# Every subsystem library and executable calls this.
function(quelor_target name)
    target_link_libraries(${name} PRIVATE quelor_warnings)
endfunction()
